#!/usr/bin/env python3
"""Three machines that change their profiles while apart: offline, killed, with a damaged
sync base, and with a clock a minute ahead.

Machines A, B and C sync through one shared folder (B reaches it through a link, so that
its share can go away and come back). Each machine's edits are made in its profiles.json
while it is stopped, as a user's edits saved but not yet uploaded, dated by its own clock.
A profiles.json changed while Velmor is stopped is a backup put back (a restore), told by
the digest of what Velmor left there ("profilesDigest" in cloud_sync.json); a running
velmor takes no edits from outside, so each edit also drops that digest, as a data folder
of a version without it holds none, and the edit is the machine's own, merged:

- offline: B's share goes away, B creates a user profile (its upload cannot happen),
  then A creates one; the share comes back while B runs and B syncs by itself;
- offline rename: the same with a rename on B;
- grain: A and B add a tool each to one PACS profile, C maps a button, A and B map
  other buttons of one user profile;
- conflict: A and B rename one user profile differently;
- damaged base: B's cloud_sync.base is cut short, filled with garbage or removed while
  B and A both made edits;
- clock ahead: C runs a minute ahead; it changes nothing while A changes, then both
  rename one user profile (C's change is the later);
- kills: each round B gets an edit and is killed at a random moment of its start (its
  upload among them), A and C get an edit meanwhile, then B starts again.

After each case every machine and the folder's record must hold every edit, the same
profiles everywhere; of two edits of the same field, the losing one may instead be in a
kept file ("<name> (user profile).json"). Each process's standard error is kept, and a
sanitizer report fails. The clock case needs libfaketime (Debian package faketime).

Usage: apart-kill.py path/to/velmor [kill rounds]   (offscreen, temporary folders)
"""
import json, os, random, signal, subprocess, sys, tempfile, time, uuid

import velmor_machines as machines
from velmor_machines import kept_documents, machine_env, read_json, sanitizer_reports, users, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
root = tempfile.mkdtemp(prefix="velmor-apart-")
shared = os.path.join(root, "cloud")
b_link = os.path.join(root, "b-share")
os.mkdir(shared)
os.symlink(shared, b_link)
FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
runs = 0
problems = []
tally = {"cases": 0, "lost": 0}
reported = set()  # labels of edits already counted as lost


class Machine:
    def __init__(self, name, folder):
        self.name = name
        self.env, self.folder = machine_env(root, name, folder)
        self.proc = None
        self.ahead = 0  # seconds its clock runs ahead

    def start(self):
        global runs
        runs += 1
        env = dict(self.env)
        if self.ahead:
            env.update(LD_PRELOAD=FAKETIME, FAKETIME=f"+{self.ahead}s", FAKETIME_DONT_FAKE_MONOTONIC="1",
                       ASAN_OPTIONS=env.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
        self.log = os.path.join(root, f"{self.name}-{runs}.stderr")
        self.proc = subprocess.Popen([velmor], env=env, stdout=subprocess.PIPE,
                                     stderr=open(self.log, "w"), text=True)
        if not wait_ready(self.proc, 60):
            raise SystemExit(f"{self.name} never became ready (see {self.log})")

    def stop(self, sig=signal.SIGTERM):
        if not self.proc:
            return
        self.proc.send_signal(sig)
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc = None
        problems.extend(sanitizer_reports(self.log))

    def document(self):
        return read_json(os.path.join(self.folder, "profiles.json")) or {}

    def edit(self, *edits):
        """Makes `edits` in profiles.json while the machine is stopped, dated by its clock."""
        assert self.proc is None
        document = self.document()
        for e in edits:
            e.change(document)
        path = os.path.join(self.folder, "profiles.json")
        with open(path + ".edit", "w") as f:
            json.dump(document, f, indent=2)
        now = time.time() + self.ahead
        os.utime(path + ".edit", (now, now))
        os.replace(path + ".edit", path)
        self.forget_left()
        return list(edits)

    def forget_left(self):
        """Drops the digest of the profiles Velmor left, so that the edit is not taken as a restore."""
        path = os.path.join(self.folder, "cloud_sync.json")
        memory = read_json(path)
        if not isinstance(memory, dict) or memory.pop("profilesDigest", None) is None:
            return
        with open(path + ".edit", "w") as f:
            json.dump(memory, f)
        os.replace(path + ".edit", path)


def plus(earlier, new):
    """The edits to check from now on: a field edited again no longer holds its earlier edit."""
    fields = {e.field for e in new if e.field}
    return [e for e in earlier if e.field not in fields] + list(new)


class Edit:
    """A change to a profiles document and the test that a document holds it."""
    def __init__(self, label, change, holds, field=None):
        self.label, self.change, self.holds, self.field = label, change, holds, field
        self.rivals = []  # edits of the same field elsewhere: one of them may lose to a kept file


def conflicting(*edits):
    for e in edits:
        e.rivals = [r for r in edits if r is not e]
    return list(edits)


def user(document, user_id):
    return next((p for p in document.get("userProfiles", []) if p["id"] == user_id), None)


def pacs(document, pacs_id):
    return next((p for p in document.get("pacsProfiles", []) if p["id"] == pacs_id), None)


def user_named(document, name):
    return next(p for p in document["userProfiles"] if p["name"] == name)


def add_user(name):
    user_id = str(uuid.uuid4()).upper()

    def change(document):
        profile = json.loads(json.dumps(document["userProfiles"][0]))
        profile.update(id=user_id, name=name, mappings=[])
        document["userProfiles"].append(profile)
    return Edit(f"user {name!r} made", change, lambda d: user(d, user_id) is not None)


def rename_user(document, old, new):
    user_id = user_named(document, old)["id"]

    def change(d):
        user(d, user_id)["name"] = new
    return Edit(f"{old!r} renamed {new!r}", change, lambda d: (user(d, user_id) or {}).get("name") == new,
                field=("name", user_id))


def add_tool(document, user_name, tool_name):
    """A tool added to the PACS profile the user profile is bound to."""
    pacs_id = user_named(document, user_name)["pacsProfileId"]
    tool_id = str(uuid.uuid4()).upper()

    def change(d):
        tools = pacs(d, pacs_id)["tools"]
        tools.append(dict(json.loads(json.dumps(tools[0])), id=tool_id, name=tool_name))
    return Edit(f"tool {tool_name!r} added", change,
                lambda d: any(t["id"] == tool_id for t in (pacs(d, pacs_id) or {}).get("tools", [])))


def map_button(document, user_name, button, tool_index):
    """A Tartarus button of the user profile mapped to a tool of its PACS profile."""
    profile = user_named(document, user_name)
    user_id = profile["id"]
    tool_id = pacs(document, profile["pacsProfileId"])["tools"][tool_index]["id"]
    key = ("tartarus_v2", button)

    def change(d):
        mappings = [m for m in user(d, user_id)["mappings"] if (m["deviceId"], m["buttonId"]) != key]
        mappings.append({"id": str(uuid.uuid4()).upper(), "deviceId": key[0], "buttonId": key[1], "toolId": tool_id})
        user(d, user_id)["mappings"] = mappings
    return Edit(f"{user_name!r} {button} mapped", change,
                lambda d: any((m["deviceId"], m["buttonId"], m["toolId"]) == key + (tool_id,)
                              for m in (user(d, user_id) or {}).get("mappings", [])))


def record_document():
    return machines.record_document(shared)


def places(group):
    """Every machine's profiles and the record, by name."""
    found = {m.name: m.document() for m in group}
    found["record"] = record_document() or {}
    return found


def lost_edits(group, edits):
    """The edits some place lacks, with those places, unless the edit lost to a rival and is kept as a file."""
    found = places(group)
    kept = [d for m in group for d in kept_documents(m.folder)]
    everywhere = {id(e): all(e.holds(d) for d in found.values()) for e in edits}
    lost = {}
    for e in edits:
        if everywhere[id(e)] or e.label in reported:
            continue
        if any(everywhere.get(id(r)) for r in e.rivals) and any(e.holds(d) for d in kept):
            continue
        lost[e.label] = sorted(k for k, d in found.items() if not e.holds(d))
    return lost


def same_everywhere(group):
    names = [users(d) for d in places(group).values()]
    return all(n == names[0] for n in names)


def check_case(label, group, edits, timeout=60):
    tally["cases"] += 1
    if wait_until(lambda: not lost_edits(group, edits) and same_everywhere(group), timeout, step=0.1):
        print(f"{label}: ok, {len(edits)} edits everywhere")
        return
    lost = lost_edits(group, edits)
    tally["lost"] += len(lost)
    reported.update(lost)
    detail = ", ".join(f"{k} (missing in {', '.join(v)})" for k, v in lost.items()) or "the machines differ"
    problems.append(f"{label}: {detail}")
    print(f"{label}: FAILED, {detail}")


def rename_apart(first, second, old):
    """Both machines rename one user profile, each its own way, while stopped."""
    first.stop()
    second.stop()
    edits = conflicting(*[m.edit(rename_user(m.document(), old, f"{old} on {m.name.upper()}"))[0]
                          for m in (first, second)])
    first.start()
    second.start()
    return edits


def restart(*group):
    for m in group:
        m.stop()
    for m in group:
        m.start()


a = Machine("a", shared)
b = Machine("b", b_link)
c = Machine("c", shared)
everyone = [a, b, c]
a.start()
assert wait_until(lambda: record_document() is not None, 30), "A's profiles never reached the folder"
a.stop()
edits = a.edit(add_user("Shared"))
a.start()
b.start()
c.start()
check_case("first sync", everyone, edits)

# Offline: B's share goes away; B creates a profile, A creates one later.
b.stop()
os.unlink(b_link)
edits += b.edit(add_user("BOffline"))
b.start()
time.sleep(2)  # B runs with its share away: the sync is paused
a.stop()
edits += a.edit(add_user("ALater"))
a.start()
assert wait_until(lambda: "ALater" in users(record_document() or {}), 30)
# The share comes back while B runs: its next look at the folder syncs.
os.symlink(shared, b_link)
check_case("offline create", everyone, edits, timeout=90)

# Offline rename: B renames, A creates meanwhile.
b.stop()
os.unlink(b_link)
edits += b.edit(rename_user(b.document(), "Shared", "Renamed on B"))
b.start()
time.sleep(2)
a.stop()
edits += a.edit(add_user("Made on A"))
a.start()
assert wait_until(lambda: "Made on A" in users(record_document() or {}), 30)
os.symlink(shared, b_link)
restart(b)
check_case("offline rename", everyone, edits)

# Grain: tools and buttons added apart to the same profiles all stay.
for m in everyone:
    m.stop()
base = a.document()
edits += a.edit(add_tool(base, "ALater", "Tool from A"), map_button(base, "ALater", "K01", 1))
edits += b.edit(add_tool(base, "ALater", "Tool from B"), map_button(base, "ALater", "K02", 2))
edits += c.edit(map_button(base, "ALater", "K03", 3))
for m in everyone:
    m.start()
check_case("three apart, one profile", everyone, edits)

# The same field changed on two machines: one stays, the other is kept as a file.
edits += rename_apart(a, b, "Made on A")
check_case("conflict", everyone, edits)


# A damaged base: B merges with A's changes without it.
def cut_short(path):
    with open(path, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(data[:len(data) // 2])


def garbage(path):
    with open(path, "wb") as f:
        f.write(os.urandom(4096))


for n, damage in enumerate((cut_short, garbage, os.remove)):
    kind = damage.__name__.replace("_", " ")
    a.stop()
    b.stop()
    base = b.document()
    edits += a.edit(add_user(f"A, base {kind}"), add_tool(base, "BOffline", f"A's tool, base {kind}"))
    edits += b.edit(add_user(f"B, base {kind}"), map_button(base, "BOffline", f"K{4 + n:02}", 4 + n))
    base_file = os.path.join(b.folder, "cloud_sync.base")
    if os.path.exists(base_file):
        damage(base_file)
    else:
        problems.append(f"base {kind}: B has no {base_file} to damage")
    a.start()
    assert wait_until(lambda: f"A, base {kind}" in users(record_document() or {}), 30)
    b.start()
    check_case(f"base {kind}", everyone, edits)

# A clock a minute ahead: C's last change is dated later than A's next one.
if os.path.exists(FAKETIME):
    c.stop()
    c.ahead = 61
    edits += c.edit(rename_user(c.document(), "BOffline", "Renamed on C, ahead"))
    c.start()
    check_case("clock ahead: C's change", everyone, edits)
    a.stop()
    edits = plus(edits, a.edit(rename_user(a.document(), "Renamed on B", "Renamed on A, after C")))
    a.start()
    check_case("clock ahead: A's change, C unchanged", everyone, edits)
    restart(c)
    check_case("clock ahead: A's change, C restarted", everyone, edits)
    edits = plus(edits, rename_apart(a, c, "ALater"))
    check_case("clock ahead: both renamed", everyone, edits)
    c.stop()
    c.ahead = 0
    c.start()
else:
    print(f"clock ahead: skipped, {FAKETIME} is missing (Debian package faketime; scripts/bootstrap installs it)")

# Kills around B's upload, with an edit on A and on C meanwhile.
for n in range(rounds):
    b.stop()
    edits += b.edit(add_user(f"B{n}"))
    b.start()
    delay = random.uniform(0.0, 2.5)
    time.sleep(delay)
    b.stop(signal.SIGKILL)
    for m, name in ((a, f"A{n}"), (c, f"C{n}")):
        m.stop()
        edits += m.edit(add_user(name))
        m.start()
    b.start()
    check_case(f"kill {n + 1} at {delay:.2f} s", everyone, edits)

for m in everyone:
    m.stop()
print(f"{tally['cases']} cases ({rounds} kill rounds), {len(edits)} edits, {tally['lost']} edits lost")
if problems:
    print("\n".join(problems))
    sys.exit(1)
print(f"all cases passed; logs in {root}")
