#!/usr/bin/env python3
"""Two machines that change their profiles while apart, one of them offline or killed.

Machines A and B sync through one shared folder (B reaches it through a link, so that
its share can go away and come back). Each machine's edits are made in its
profiles.json while it is stopped, as a user's edits saved but not yet uploaded:

- offline: B's share goes away, B creates a user profile (its upload cannot happen),
  then A creates one; the share comes back while B runs and B syncs by itself;
- offline rename: the same with a rename on B;
- kills: each round B gets an edit and is killed at a random moment of its start (its
  upload among them), A gets an edit meanwhile, then B starts again.

After each case every machine and the folder's record must hold every edit: no edit
may be lost. Each process's standard error is kept, and a sanitizer report fails.

Usage: apart-kill.py path/to/velmor [kill rounds]   (offscreen, temporary folders)
"""
import json, os, random, signal, subprocess, sys, tempfile, time, uuid

import velmor_machines as machines
from velmor_machines import machine_env, read_json, sanitizer_reports, users, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
root = tempfile.mkdtemp(prefix="velmor-apart-")
shared = os.path.join(root, "cloud")
b_link = os.path.join(root, "b-share")
os.mkdir(shared)
os.symlink(shared, b_link)
runs = 0
problems = []


class Machine:
    def __init__(self, name, folder):
        self.name = name
        self.env, self.folder = machine_env(root, name, folder)
        self.proc = None

    def start(self):
        global runs
        runs += 1
        self.log = os.path.join(root, f"{self.name}-{runs}.stderr")
        self.proc = subprocess.Popen([velmor], env=self.env, stdout=subprocess.PIPE,
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

    def users(self):
        return users(self.document())

    def edit(self, change):
        """Changes profiles.json while the machine is stopped, dated now."""
        assert self.proc is None
        document = self.document()
        change(document)
        path = os.path.join(self.folder, "profiles.json")
        with open(path + ".edit", "w") as f:
            json.dump(document, f, indent=2)
        os.replace(path + ".edit", path)


def record_users():
    return machines.record_users(shared)


def add_user(name):
    def change(document):
        profile = json.loads(json.dumps(document["userProfiles"][0]))
        profile["id"] = str(uuid.uuid4()).upper()
        profile["name"] = name
        profile["mappings"] = []
        document["userProfiles"].append(profile)
    return change


def rename_user(old, new):
    def change(document):
        for profile in document["userProfiles"]:
            if profile["name"] == old:
                profile["name"] = new
    return change


def settled(group, expected):
    def check():
        names = [m.users() for m in group] + [record_users()]
        return all(n is not None and set(expected) <= set(n) for n in names) and \
            all(n == names[0] for n in names)
    return check


def check_case(label, group, expected, timeout=60):
    if wait_until(settled(group, expected), timeout, step=0.05):
        print(f"{label}: ok, {len(expected)} edits everywhere")
        return
    found = {m.name: m.users() for m in group}
    found["record"] = record_users()
    missing = {k: sorted(set(expected) - set(v or [])) for k, v in found.items()}
    problems.append(f"{label}: missing {missing}")
    print(f"{label}: FAILED, missing {missing}")


a = Machine("a", shared)
b = Machine("b", b_link)
a.start()
assert wait_until(lambda: record_users() is not None, 30), "A's profiles never reached the folder"
a.stop()
a.edit(add_user("Shared"))
a.start()
b.start()
expected = ["Shared"]
check_case("first sync", [a, b], expected)

# Offline: B's share goes away; B creates a profile, A creates one later.
b.stop()
os.unlink(b_link)
b.edit(add_user("BOffline"))
b.start()
time.sleep(2)  # B runs with its share away: the sync is paused
a.stop()
a.edit(add_user("ALater"))
a.start()
assert wait_until(lambda: "ALater" in (record_users() or []), 30)
# The share comes back while B runs: its next look at the folder syncs.
os.symlink(shared, b_link)
expected += ["BOffline", "ALater"]
check_case("offline create", [a, b], expected, timeout=90)

# Offline rename: B renames, A creates meanwhile.
b.stop()
os.unlink(b_link)
b.edit(rename_user("Shared", "Renamed on B"))
expected.remove("Shared")
b.start()
time.sleep(2)
a.stop()
a.edit(add_user("Made on A"))
a.start()
assert wait_until(lambda: "Made on A" in (record_users() or []), 30)
os.symlink(shared, b_link)
b.stop()
b.start()
expected += ["Renamed on B", "Made on A"]
check_case("offline rename", [a, b], expected)

# Kills around B's upload, with an edit on A meanwhile.
killed_at = []
for n in range(rounds):
    b.stop()
    b.edit(add_user(f"B{n}"))
    b.start()
    delay = random.uniform(0.0, 2.5)
    killed_at.append(delay)
    time.sleep(delay)
    b.stop(signal.SIGKILL)
    a.stop()
    a.edit(add_user(f"A{n}"))
    a.start()
    b.start()
    expected += [f"B{n}", f"A{n}"]
    check_case(f"kill {n + 1} at {delay:.2f} s", [a, b], expected)

a.stop()
b.stop()
if problems:
    print("\n".join(problems))
    sys.exit(1)
print(f"all cases passed; logs in {root}")
