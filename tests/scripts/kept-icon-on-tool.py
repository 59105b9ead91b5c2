#!/usr/bin/env python3
"""A drawing kept beside its icon, put on a tool, reaches the other machine.

Machines A and B share one folder. A tool of both shows the custom icon "scan.svg". While
apart, A and B each redraw it; B's is the later, so B keeps A's drawing as "scan 2.svg".
The user then puts "scan 2.svg" on another tool on B (edited in profiles.json while B is
stopped, as a saved edit not yet uploaded). B's next start must send the icon up, and A's
next start must bring both the tool and the drawing. Each process's standard error is
kept, and a sanitizer report fails.

Usage: kept-icon-on-tool.py path/to/velmor   (offscreen, temporary folders)
"""
import json, os, signal, subprocess, sys, tempfile, time

from velmor_machines import machine_env, read_json, record_document, sanitizer_reports, wait_ready, wait_until

velmor = os.path.abspath(sys.argv[1])
root = tempfile.mkdtemp(prefix="velmor-kept-icon-")
shared = os.path.join(root, "cloud")
os.mkdir(shared)
problems = []
runs = 0


def svg(colour):
    return ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" height="8" fill="%s"/></svg>'
            % colour).encode()


class Machine:
    def __init__(self, name):
        self.name = name
        self.env, self.folder = machine_env(root, name, shared)
        self.icons = os.path.join(self.folder, "Icons")
        self.proc = None

    def start(self):
        global runs
        runs += 1
        self.log = os.path.join(root, f"{self.name}-{runs}.stderr")
        self.proc = subprocess.Popen([velmor], env=self.env, stdout=subprocess.PIPE, stderr=open(self.log, "w"),
                                     text=True)
        if not wait_ready(self.proc, 120):
            raise SystemExit(f"{self.name} never became ready (see {self.log})")

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=60)
        self.proc = None
        problems.extend(sanitizer_reports(self.log))

    def run(self, done, what, timeout=60):
        self.start()
        if not wait_until(done, timeout, 0.1):
            problems.append(f"{self.name}: {what} within {timeout} s (see {self.log})")
        self.stop()

    def draw(self, name, drawing, seconds_ago):
        os.makedirs(self.icons, exist_ok=True)
        path = os.path.join(self.icons, name)
        with open(path, "wb") as f:
            f.write(drawing)
        then = time.time() - seconds_ago
        os.utime(path, (then, then))

    def drawing(self, name):
        try:
            with open(os.path.join(self.icons, name), "rb") as f:
                return f.read()
        except OSError:
            return None

    def document(self):
        return read_json(os.path.join(self.folder, "profiles.json")) or {}

    def put_icon(self, tool_index, icon):
        """Puts a custom icon on a tool of the first PACS profile while the machine is stopped."""
        document = self.document()
        tool = document["pacsProfiles"][0]["tools"][tool_index]
        tool.update(iconSource="custom", customIcon=icon)
        path = os.path.join(self.folder, "profiles.json")
        with open(path + ".edit", "w") as f:
            json.dump(document, f, indent=2)
        os.replace(path + ".edit", path)
        return tool["id"]

    def tool_icon(self, tool_id):
        for profile in self.document().get("pacsProfiles", []):
            for tool in profile.get("tools", []):
                if tool.get("id") == tool_id:
                    return tool.get("customIcon")
        return None


def cloud_holds(drawing):
    """Whether a file in the shared folder (a record's asset) holds the drawing."""
    for folder, _, files in os.walk(shared):
        for name in files:
            try:
                with open(os.path.join(folder, name), "rb") as f:
                    if f.read() == drawing:
                        return True
            except OSError:
                pass
    return False


def record_uses(icon):
    """Whether a tool of the shared folder's profiles record shows the icon."""
    document = record_document(shared) or {}
    return any(t.get("customIcon") == icon for p in document.get("pacsProfiles", []) for t in p.get("tools", []))


def icon_records():
    folder = os.path.join(shared, "records")
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


a, b = Machine("A"), Machine("B")
# A starts alone and makes the profiles; its first tool gets the icon, drawn long ago.
a.run(lambda: os.path.exists(os.path.join(a.folder, "profiles.json")), "no profiles.json")
a.draw("scan.svg", svg("white"), 3600)
first = a.put_icon(0, "scan.svg")
a.run(lambda: record_uses("scan.svg") and any(r.startswith("scan") for r in icon_records()),
      "the tool or its icon \"scan\" never went up")
b.run(lambda: b.drawing("scan.svg") == svg("white"), "B never got \"scan.svg\"")

# Apart: both redraw it, B later.
a.draw("scan.svg", svg("blue"), 120)
b.draw("scan.svg", svg("green"), 60)
a.run(lambda: cloud_holds(svg("blue")), "A's drawing never went up")
b.run(lambda: b.drawing("scan 2.svg") == svg("blue"), "B kept no \"scan 2.svg\"")
print("B keeps A's drawing:", sorted(os.listdir(b.icons)))

# The user puts the kept copy on another tool on B.
second = b.put_icon(1, "scan 2.svg")
b.run(lambda: record_uses("scan 2.svg") and any(r.startswith("scan 2") for r in icon_records()),
      "the tool or \"scan 2\" never went up")
print("records after B's start:", icon_records())
a.run(lambda: a.drawing("scan 2.svg") == svg("blue") and a.tool_icon(second) == "scan 2.svg",
      "A never got the tool with \"scan 2.svg\" and its drawing")
print("A's icons:", sorted(os.listdir(a.icons)), "tool icon:", a.tool_icon(second))
for m in (a, b):
    if m.drawing("scan.svg") != svg("green"):
        problems.append(f"{m.name}: \"scan.svg\" is not B's later drawing")

print("\n".join(problems) if problems else "ok", f"({root})")
sys.exit(1 if problems else 0)
