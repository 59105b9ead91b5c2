#!/usr/bin/env python3
"""The shared folder's lock between real velmor processes (run as root).

- namespaces: machines A, B and C on one folder; B and C run under this host name in process
  namespaces of their own (`unshare -pfu --mount-proc`), so their process ids mean nothing
  to each other or to A. Every rename into the folder is slowed (a slow share). Each round
  every machine gets a new user profile while stopped, and all three start at once, so that
  their uploads meet at the lock. Every user profile made must end in the folder's record
  and on every machine.
- sleep: a `.lock` naming a `sleep` of another account, in the old form and in this
  computer's form: A's upload goes through once the lock stayed the same for 10 s.
- renewed: a `.lock` that another program keeps touching: A's upload fails after 15 s
  with a message naming the file, and goes up by itself once the file is gone.

Usage: shared-lock.py path/to/velmor [rounds] [rename delay ms]   (offscreen, temporary folders)
"""
import hashlib, json, os, pty, signal, socket, subprocess, sys, tempfile, time, uuid

from velmor_machines import copy_terminal, machine_env, read_json, record_users, sanitizer_reports, users, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 4
delay_ms = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
root = tempfile.mkdtemp(prefix="velmor-lock-")
shared = os.path.join(root, "cloud")
os.mkdir(shared)
os.chmod(root, 0o755)
problems = []

SLOW_RENAME = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
/* Renames of the folder database's temporary profiles record take SLOW_RENAME_MS. */
static void slow(const char *from)
{
    const char *base = strrchr(from, '/');
    base = base ? base + 1 : from;
    const char *ms = getenv("SLOW_RENAME_MS");
    if (!ms || strncmp(base, ".profiles.json.", 15) != 0)
        return;
    long v = atol(ms);
    struct timespec t = {v / 1000, (v % 1000) * 1000000L};
    nanosleep(&t, 0);
}
int renameat(int a, const char *from, int b, const char *to)
{
    static int (*real)(int, const char *, int, const char *);
    if (!real)
        real = (int (*)(int, const char *, int, const char *))dlsym(RTLD_NEXT, "renameat");
    slow(from);
    return real(a, from, b, to);
}
"""
shim = os.path.join(root, "slowrename.so")
with open(shim + ".c", "w") as f:
    f.write(SLOW_RENAME)
subprocess.run(["gcc", "-shared", "-fPIC", "-O2", "-o", shim, shim + ".c", "-ldl"], check=True)


class Machine:
    def __init__(self, name, sandboxed):
        self.name, self.sandboxed = name, sandboxed
        self.env, self.folder = machine_env(root, name, shared)
        self.env.update(LD_PRELOAD=shim, SLOW_RENAME_MS=str(delay_ms),
                        ASAN_OPTIONS=self.env.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
        self.proc = None
        self.runs = 0

    def start(self):
        self.runs += 1
        self.log = os.path.join(root, f"{self.name}-{self.runs}.stderr")
        command = (["unshare", "-pfu", "--mount-proc", "--kill-child"] if self.sandboxed else []) + [velmor]
        # On a terminal, velmor writes its Event Log to standard error too.
        master, terminal = pty.openpty()
        self.proc = subprocess.Popen(command, env=self.env, stdout=subprocess.PIPE, stderr=terminal, text=True)
        os.close(terminal)
        copy_terminal(master, self.log)

    def wait_ready(self):
        if not wait_ready(self.proc, 120):
            raise SystemExit(f"{self.name} never became ready (see {self.log})")

    def velmor_pid(self):
        """The velmor process itself: under unshare, the child it forked."""
        if not self.sandboxed:
            return self.proc.pid
        with open(f"/proc/{self.proc.pid}/task/{self.proc.pid}/children") as f:
            return int(f.read().split()[0])

    def stop(self):
        if not self.proc:
            return
        os.kill(self.velmor_pid(), signal.SIGTERM)
        try:
            self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            problems.append(f"{self.name} did not quit")
            self.proc.kill()
            self.proc.wait()
        self.proc = None
        problems.extend(sanitizer_reports(self.log))

    def users(self):
        return users(read_json(os.path.join(self.folder, "profiles.json")) or {})

    def add_user(self, name):
        """A new user profile in profiles.json, made while the machine is stopped."""
        assert self.proc is None
        path = os.path.join(self.folder, "profiles.json")
        document = read_json(path)
        profile = json.loads(json.dumps(document["userProfiles"][0]))
        profile.update(id=str(uuid.uuid4()).upper(), name=name, mappings=[])
        document["userProfiles"].append(profile)
        encoded = json.dumps(document, indent=2).encode()  # velmor's own encoding, byte for byte
        with open(path + ".edit", "wb") as f:
            f.write(encoded)
        os.replace(path + ".edit", path)
        # Known as this machine's own edit, saved but not uploaded yet (not a file put back).
        memory_path = os.path.join(self.folder, "cloud_sync.json")
        memory = read_json(memory_path)
        memory["profilesDigest"] = hashlib.sha256(encoded).hexdigest()
        with open(memory_path, "w") as f:
            json.dump(memory, f)

    def errors(self):
        return self.lines("Cloud Sync Error")

    def lines(self, mark):
        with open(self.log, errors="replace") as f:
            return [line.strip() for line in f if mark in line]


def settled(machines, names):
    record = set(record_users(shared) or [])
    return names <= record and all(names <= set(m.users()) for m in machines)


def namespaces():
    machines = [Machine("A", False), Machine("B", True), Machine("C", True)]
    for m in machines:  # A makes the record, B and C take it
        m.start()
        m.wait_ready()
        time.sleep(1 + delay_ms / 1000)
    made = set()
    lost_total = 0
    for r in range(rounds):
        for m in machines:
            m.stop()
        for m in machines:
            m.add_user(f"{m.name}{r}")
            made.add(f"{m.name}{r}")
        started = time.time()
        for m in machines:
            m.start()
        for m in machines:
            m.wait_ready()
        ok = wait_until(lambda: settled(machines, made), 120, 0.2)
        missing = made - set(record_users(shared) or [])
        lost_total += len(missing)
        print(f"round {r}: {'settled' if ok else 'NOT settled'} in {time.time() - started:.1f} s;"
              f" record lacks {sorted(missing)}; " + "; ".join(
                  f"{m.name} lacks {sorted(made - set(m.users()))}" for m in machines if made - set(m.users())))
        if not ok:
            problems.append(f"round {r} did not settle")
        for m in machines:
            if m.lines("changed while Velmor was stopped"):
                problems.append(f"{m.name} took its edit for a file put back")
            for line in m.errors():
                print(f"  {m.name}: {line}")
    for m in machines:
        m.stop()
    print(f"namespaces: {rounds} rounds, 3 uploads each, {delay_ms} ms renames: {lost_total} edits lost")
    return machines[0]


def lock_of(pid, program, host_line):
    return f"{pid}\n{program}\n{host_line}\n{uuid.uuid4().hex[:16]}\n"


def this_computer():
    with open("/proc/sys/kernel/random/boot_id") as f:
        boot = f.read().strip()
    return f"{socket.gethostname()} boot:{boot}/pid-namespace:{os.stat('/proc/self/ns/pid').st_ino}"


def timed_upload(a, name, plant):
    """Starts A with a new user profile and `plant` done: the seconds until the record holds it."""
    a.add_user(name)
    plant()
    started = time.time()
    a.start()
    a.wait_ready()
    ok = wait_until(lambda: name in (record_users(shared) or []), 60, 0.1)
    return time.time() - started if ok else None


def sleep_lock(a):
    a.env["SLOW_RENAME_MS"] = "0"
    sleeper = subprocess.Popen(["runuser", "-u", "nobody", "--", "sleep", "600"], stdout=subprocess.DEVNULL)
    sleep_pid = None
    while sleep_pid is None:  # runuser runs `sleep` as a child of its own
        time.sleep(0.05)
        with open(f"/proc/{sleeper.pid}/task/{sleeper.pid}/children") as f:
            children = f.read().split()
        with open(f"/proc/{children[0] if children else sleeper.pid}/comm") as f:
            sleep_pid = (int(children[0]) if children else sleeper.pid) if f.read().strip() == "sleep" else None
    for form, host_line in (("old form", socket.gethostname()), ("this computer's form", this_computer())):
        text = lock_of(sleep_pid, "sleep", host_line)
        seconds = timed_upload(a, f"sleep {form}",
                               lambda: open(os.path.join(shared, ".lock"), "w").write(text))
        print(f"sleep lock, {form}: uploaded after {seconds if seconds is None else round(seconds, 1)} s")
        if seconds is None:
            problems.append(f"the sleep lock ({form}) stopped the upload")
        a.stop()
    os.kill(sleep_pid, signal.SIGTERM)
    sleeper.wait()


def renewed_lock(a):
    lock = os.path.join(shared, ".lock")
    toucher = subprocess.Popen(["sh", "-c", f"while :; do touch '{lock}'; sleep 1; done"])
    a.add_user("renewed")
    started = time.time()
    a.start()
    a.wait_ready()
    failed = wait_until(lambda: any("renewing" in line for line in a.errors()), 60, 0.2)
    print(f"renewed lock: failed after {time.time() - started:.1f} s: {a.errors()[-1] if failed else 'no message'}")
    toucher.kill()
    toucher.wait()
    os.remove(lock)
    freed = time.time()
    ok = wait_until(lambda: "renewed" in (record_users(shared) or []), 60, 0.05)
    print(f"renewed lock: uploaded {time.time() - freed:.2f} s after the file went" if ok else "NOT uploaded")
    if not ok:
        problems.append("the upload held up by the lock never went up")
    a.stop()


a = namespaces()
sleep_lock(a)
renewed_lock(a)
print("problems:", problems or "none", f"(folders in {root})")
sys.exit(1 if problems else 0)
