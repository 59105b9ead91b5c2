#!/usr/bin/env python3
"""Three real velmor processes on one shared folder, whose record another writer changes:

- nohistory: an honest upload adds a tool every machine takes; then a record naming no
  history (without a number, then with the next one) writes the profiles from before it
  plus a user of its own. Every machine and the record must keep the tool and get the user.
- longago: a copy of the record file is kept, 110 honest uploads follow (each taken by
  every machine), then the copy is put back: every machine takes it as a restore, keeps
  its later version as a file and says so.
- newdisk: A's home is replaced by a new one holding only the backup's Velmor.ini and
  profiles.json, put back with cp and with cp -p: every machine ends with the backup.

Velmor's standard error is a terminal, so its log lines are kept in <root>/<machine>-<run>.stderr.
Usage: record-history.py path/to/velmor [nohistory|longago|newdisk ...]   (offscreen, temporary folders)
"""
import base64, datetime, json, os, random, shutil, signal, subprocess, sys, tempfile, time, uuid
from velmor_machines import copy_terminal, kept_documents, machine_env, read_json, sanitizer_reports, users, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
cases = sys.argv[2:] or ["nohistory", "longago", "newdisk"]
root = tempfile.mkdtemp(prefix="velmor-history-")
shared = os.path.join(root, "cloud")
os.mkdir(shared)
problems = []
runs = 0
RECORD = os.path.join(shared, "records", "profiles.json")


class Machine:
    def __init__(self, name):
        self.name = name
        self.env, self.folder = machine_env(root, name, shared)
        self.proc = None

    def start(self):
        global runs
        runs += 1
        self.log = os.path.join(root, f"{self.name}-{runs}.stderr")
        # Standard error on a terminal, so that velmor writes its log lines there.
        master, slave = os.openpty()
        self.proc = subprocess.Popen([velmor], env=self.env, stdout=subprocess.PIPE, stderr=slave, text=True)
        os.close(slave)
        copy_terminal(master, self.log)
        if not wait_ready(self.proc, 90):
            raise SystemExit(f"{self.name} never became ready (see {self.log})")

    def stop(self):
        if not self.proc:
            return
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=60)
        self.proc = None
        problems.extend(sanitizer_reports(self.log))

    def document(self):
        return read_json(os.path.join(self.folder, "profiles.json")) or {}

    def lines(self, *words):
        out = []
        for name in sorted(os.listdir(root)):
            if name.startswith(self.name + "-") and name.endswith(".stderr"):
                with open(os.path.join(root, name), errors="replace") as f:
                    out += [l.rstrip() for l in f if any(w in l for w in words)]
        return out


def record():
    return read_json(RECORD)


def payload_of(rec):
    return json.loads(base64.b64decode(rec["fields"]["payload"]["bytes"]))


def now_text():
    return datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="milliseconds").replace("+00:00", "Z")


def write_record(rec):
    rec["recordChangeTag"] = "%016x" % random.getrandbits(64)
    rec["modifiedBy"] = "TRIAL-WRITER"
    tmp = RECORD + ".trial"
    with open(tmp, "w") as f:
        json.dump(rec, f)
    os.replace(tmp, RECORD)
    return rec["recordChangeTag"]


def honest_write(change):
    """An upload as this version writes it: over the current record, numbered above it."""
    rec = record()
    doc = payload_of(rec)
    change(doc)
    old_tag = rec["recordChangeTag"]
    fields = rec["fields"]
    ancestors = base64.b64decode(fields.get("replaces", {}).get("bytes", "")).decode().split("\n")
    fields["replaces"] = {"bytes": base64.b64encode("\n".join([old_tag] + [a for a in ancestors if a][:63]).encode()).decode()}
    fields["generation"] = {"int64": str(int(fields.get("generation", {}).get("int64", "0")) + 1)}
    fields["payload"] = {"bytes": base64.b64encode(json.dumps(doc, indent=4).encode()).decode()}
    fields["updatedAt"] = {"date": now_text()}
    return write_record(rec)


def rename_active(name):
    def change(doc):
        active = doc.get("activeUserProfileId")
        for u in doc["userProfiles"]:
            if u["id"] == active or active is None:
                u["name"] = name
                return
    return change


def tools(doc):
    return [t["name"] for p in doc.get("pacsProfiles", []) for t in p.get("tools", [])]


def active_name(doc):
    for u in doc.get("userProfiles", []):
        if u["id"] == doc.get("activeUserProfileId"):
            return u["name"]
    return None


def expect(label, ok):
    print(("ok   " if ok else "FAIL ") + label, flush=True)
    if not ok:
        problems.append(label)


a, b, c = Machine("a"), Machine("b"), Machine("c")
everyone = [a, b, c]
a.start()
assert wait_until(lambda: record() is not None, 60), "A's profiles never reached the folder"
b.start()
c.start()
time.sleep(3)

if "nohistory" in cases:
    for numbered in (False, True):
        earlier = record()
        tool = f"Synced tool {numbered}"
        def add_tool(doc):
            doc["pacsProfiles"][0]["tools"].append(dict(doc["pacsProfiles"][0]["tools"][0], id=str(uuid.uuid4()).upper(), name=tool))
        honest_write(add_tool)
        expect(f"everyone synced {tool}", wait_until(lambda: all(tool in tools(m.document()) for m in everyone), 60))
        # An older Velmor: the earlier record's profiles plus a user of its own, no history.
        rec = record()
        doc = payload_of(earlier)
        newcomer = dict(doc["userProfiles"][0], id=str(uuid.uuid4()).upper(), name=f"From an older Velmor {numbered}")
        doc["userProfiles"].append(newcomer)
        fields = rec["fields"]
        for key in ("replaces", "restores"):
            fields.pop(key, None)
        if numbered:
            fields["generation"] = {"int64": str(int(fields["generation"]["int64"]) + 1)}
        else:
            fields.pop("generation", None)
        fields["payload"] = {"bytes": base64.b64encode(json.dumps(doc, indent=4).encode()).decode()}
        fields["updatedAt"] = {"date": now_text()}
        write_record(rec)
        arrived = wait_until(lambda: all(newcomer["name"] in users(m.document()) for m in everyone)
                             and newcomer["name"] in users(payload_of(record())), 60)
        time.sleep(3)
        expect(f"no history (number: {numbered}): the new user on every machine and the record", arrived)
        expect(f"no history (number: {numbered}): the tool stays everywhere",
               all(tool in tools(m.document()) for m in everyone) and tool in tools(payload_of(record())))
        expect(f"no history (number: {numbered}): one document everywhere",
               all(m.document() == payload_of(record()) for m in everyone))
    for m in everyone:
        print(m.name, "said:", *m.lines("Cloud Sync")[-4:], sep="\n   ")

if "longago" in cases:
    morning_bytes = open(RECORD, "rb").read()
    morning = active_name(payload_of(record()))
    print("morning's user:", morning, flush=True)
    start = time.time()
    for i in range(110):
        name = f"Upload {i}"
        honest_write(rename_active(name))
        if not wait_until(lambda: all(active_name(m.document()) == name for m in everyone), 60):
            expect(f"everyone took {name}", False)
            break
    print(f"110 uploads taken by all three in {time.time() - start:.1f} s", flush=True)
    tmp = RECORD + ".back"
    with open(tmp, "wb") as f:
        f.write(morning_bytes)
    os.replace(tmp, RECORD)
    ok = wait_until(lambda: all(active_name(m.document()) == morning for m in everyone), 90)
    time.sleep(3)
    expect("the copy from 110 uploads ago is taken everywhere", ok)
    for m in everyone:
        kept = [u["name"] for d in kept_documents(m.folder) for u in d["userProfiles"]]
        expect(f"{m.name} keeps Upload 109 as a file", "Upload 109" in kept)
        told = m.lines("restore")
        expect(f"{m.name} told of the restore", len(told) >= 1)
        print("  ", *(told[-1:] or ["(nothing)"]))

if "newdisk" in cases:
    for keep_date in (False, True):
        label = "cp -p" if keep_date else "cp"
        backup = os.path.join(root, f"backup-{label.replace(' ', '')}")
        os.makedirs(backup)
        honest_write(rename_active(f"Backed up ({label})"))
        assert wait_until(lambda: active_name(a.document()) == f"Backed up ({label})", 60)
        time.sleep(2)
        shutil.copy2(os.path.join(a.folder, "profiles.json"), backup)
        ini = os.path.join(a.env["XDG_CONFIG_HOME"], "Velmor", "Velmor.ini")
        if os.path.exists(ini):
            shutil.copy2(ini, backup)
        time.sleep(1.5)
        honest_write(rename_active(f"Later ({label})"))
        assert wait_until(lambda: all(active_name(m.document()) == f"Later ({label})" for m in everyone), 60)
        a.stop()
        # The disk replaced: a new home, the backup's settings and profiles.json put back.
        home = os.path.join(root, "a")
        shutil.rmtree(home)
        a.env, a.folder = machine_env(root, "a", shared)
        os.makedirs(a.folder, exist_ok=True)
        put = shutil.copy2 if keep_date else shutil.copy
        put(os.path.join(backup, "profiles.json"), a.folder)
        if os.path.exists(os.path.join(backup, "Velmor.ini")):
            os.makedirs(os.path.dirname(ini), exist_ok=True)
            put(os.path.join(backup, "Velmor.ini"), ini)
        a.start()
        want = f"Backed up ({label})"
        ok = wait_until(lambda: all(active_name(m.document()) == want for m in everyone)
                        and active_name(payload_of(record())) == want, 90)
        time.sleep(3)
        expect(f"new disk, {label}: every machine ends with the backup", ok)
        expect(f"new disk, {label}: one document everywhere", all(m.document() == payload_of(record()) for m in everyone))
        for m in everyone:
            kept = [u["name"] for d in kept_documents(m.folder) for u in d["userProfiles"]]
            expect(f"new disk, {label}: {m.name} keeps the later name as a file", f"Later ({label})" in kept)
        print("   A said:", *a.lines("stopped")[-1:])

for m in everyone:
    m.stop()
print("folder:", root)
print("problems:", problems or "none")
sys.exit(1 if problems else 0)
