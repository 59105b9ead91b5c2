#!/usr/bin/env python3
"""Kills a machine at random moments of its first contact with a shared cloud folder.

Machine A syncs its profiles (users TplUser1, TplUser2) to a folder. Machine B made
profiles of its own, later than A's (users BUser1, BUser2), before it ever met the
folder. Each round B starts on the folder with those profiles, is killed with SIGKILL
after a random delay, and is started again until its first contact completes. After
every round the folder's record must still hold A's profiles, B must hold them too,
and B's own profiles must be kept once, as exchange files. Each process's standard
error is kept in a file of its own; a sanitizer report in any of them is a failure.

Usage: first-contact-kill.py path/to/velmor [rounds]   (offscreen, temporary folders)
"""
import json, os, random, re, shutil, signal, subprocess, sys, tempfile, time, uuid

import velmor_machines as machines
from velmor_machines import machine_env, read_json, users, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 50
root = tempfile.mkdtemp(prefix="velmor-kill-")
shared = os.path.join(root, "cloud")
os.mkdir(shared)
# Kept after the run: one file per process started.
logs = tempfile.mkdtemp(prefix="velmor-kill-stderr-")


def env_for(name):
    return machine_env(root, name, shared)


runs = 0


def start(env, label):
    global runs
    runs += 1
    path = os.path.join(logs, f"{runs:03}-{label}.stderr")
    with open(path, "w") as stderr:
        proc = subprocess.Popen([velmor], env=env, stdout=subprocess.PIPE, stderr=stderr, text=True)
    proc.stderr_path = path
    return proc


def sanitizer_reports(*procs):
    """The ended processes whose standard error holds a sanitizer's report, as problems."""
    return [problem for proc in procs for problem in machines.sanitizer_reports(proc.stderr_path)]


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def record_users():
    return machines.record_users(shared)


def profiles_of(folder):
    return read_json(os.path.join(folder, "profiles.json")) or {}


def new_ids(text):
    ids = set(re.findall(r"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}", text))
    for old in ids:
        text = text.replace(old, str(uuid.uuid4()).upper())
    return text


def with_users(document, names):
    first = document["userProfiles"][0]
    document["userProfiles"] = []
    for name in names:
        profile = json.loads(json.dumps(first))
        profile["id"] = str(uuid.uuid4()).upper()
        profile["name"] = name
        document["userProfiles"].append(profile)
    document["activeUserProfileId"] = document["userProfiles"][0]["id"]
    return document


# Default profiles as a fresh install writes them, made without the shared folder.
seed_env, seed_folder = env_for("seed")
seed_env["VELMOR_CLOUD_FOLDER"] = os.path.join(root, "seed-cloud")
os.mkdir(seed_env["VELMOR_CLOUD_FOLDER"])
seed = start(seed_env, "seed")
assert wait_ready(seed), "the seed run never became ready"
stop(seed)
assert not sanitizer_reports(seed), sanitizer_reports(seed)
defaults = profiles_of(seed_folder)
a_document = with_users(json.loads(new_ids(json.dumps(defaults))), ["TplUser1", "TplUser2"])
b_document = with_users(json.loads(new_ids(json.dumps(defaults))), ["BUser1", "BUser2"])

# A: its profiles dated an hour ago, synced to the folder; it keeps running.
a_env, a_folder = env_for("a")
os.makedirs(a_folder, exist_ok=True)
with open(os.path.join(a_folder, "profiles.json"), "w") as f:
    json.dump(a_document, f)
hour_ago = time.time() - 3600
os.utime(os.path.join(a_folder, "profiles.json"), (hour_ago, hour_ago))
a = start(a_env, "a")
assert wait_ready(a), "A never became ready"
assert wait_until(lambda: record_users() == ["TplUser1", "TplUser2"], 20), "A's profiles never reached the folder"
expected = ["TplUser1", "TplUser2"]


def fresh_b():
    b_env, b_folder = env_for("b")
    shutil.rmtree(os.path.dirname(b_folder))
    b_env, b_folder = env_for("b")
    os.makedirs(b_folder, exist_ok=True)
    with open(os.path.join(b_folder, "profiles.json"), "w") as f:
        json.dump(b_document, f)  # dated now: later than A's
    return b_env, b_folder


def first_contact_done(folder):
    memory = read_json(os.path.join(folder, "cloud_sync.json")) or {}
    return bool(memory.get("syncedAccounts")) and users(profiles_of(folder)) == expected


def kept_files(folder):
    return sorted(name for name in os.listdir(folder) if name.endswith("profile).json"))


# Calibration: when B's first contact begins (its first kept file) and ends, without a kill.
starts, ends = [], []
for _ in range(5):
    b_env, b_folder = fresh_b()
    began = time.time()
    b = start(b_env, "b-calibration")
    wait_until(lambda: kept_files(b_folder), 30)
    starts.append(time.time() - began)
    assert wait_until(lambda: first_contact_done(b_folder), 30), "B's first contact never completed"
    ends.append(time.time() - began)
    stop(b)
    assert not sanitizer_reports(b), sanitizer_reports(b)
starts.sort()
ends.sort()
low, high = starts[2] * 0.7, ends[2] * 1.2
print(f"B keeps its profiles {starts[2] * 1000:.0f} ms and has completed its first contact {ends[2] * 1000:.0f} ms "
      f"after it starts (medians of 5); kills fall in {low * 1000:.0f}..{high * 1000:.0f} ms")

failures = []
stages = {}
for round_number in range(1, rounds + 1):
    b_env, b_folder = fresh_b()
    delay = random.uniform(low, high)
    b = start(b_env, f"b-round{round_number}-killed")
    time.sleep(delay)
    kept = kept_files(b_folder)
    stage = ("done" if first_contact_done(b_folder) else
             "taken, not remembered" if users(profiles_of(b_folder)) == expected else
             "kept, not taken" if kept else "before keeping")
    b.kill()
    b.wait()
    killed = b
    stages[stage] = stages.get(stage, 0) + 1
    b = start(b_env, f"b-round{round_number}-again")
    completed = wait_until(lambda: first_contact_done(b_folder), 30)
    time.sleep(1.5)  # an upload would follow a second after the initial sync
    stop(b)
    kept = kept_files(b_folder)
    problems = []
    if record_users() != expected:
        problems.append(f"folder holds {record_users()}")
    if not completed:
        problems.append(f"B holds {users(profiles_of(b_folder))}")
    # Whenever B was killed, its own profiles are kept, once.
    if kept != ["BUser1 (user profile).json", "BUser2 (user profile).json"]:
        problems.append(f"kept {kept}")
    if users(profiles_of(a_folder)) != expected:
        problems.append(f"A holds {users(profiles_of(a_folder))}")
    problems += sanitizer_reports(killed, b)
    print(f"round {round_number:2}: killed after {delay * 1000:4.0f} ms ({stage}): "
          + ("; ".join(problems) if problems else "folder and B hold A's profiles"))
    if problems:
        failures.append(round_number)

stop(a)
a_reports = sanitizer_reports(a)
if a_reports:
    print("A: " + "; ".join(a_reports))
print("kills by stage:", stages)
print(f"standard error of every run: {logs}")
print(f"{rounds - len(failures)} passed, {len(failures)} failed")
shutil.rmtree(root, ignore_errors=True)
sys.exit(1 if failures or a_reports else 0)
