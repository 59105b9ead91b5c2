"""What the scripts that run real velmor processes on one shared folder have in common."""
import base64, json, os, re, threading, time

SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer")
SUPPRESSIONS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp"))


def machine_env(root, name, cloud_folder):
    """A machine's environment (offscreen, XDG folders of its own under root/name) and its data folder."""
    home = os.path.join(root, name)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", VELMOR_CLOUD_FOLDER=cloud_folder, VELMOR_READY="print")
    for var, sub in (("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                     ("XDG_RUNTIME_DIR", "runtime")):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
        env[var] = os.path.join(home, sub)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    # The system libraries' own leaks, as the test suite suppresses them.
    env.setdefault("LSAN_OPTIONS", "suppressions=" + SUPPRESSIONS)
    return env, os.path.join(home, "data", "Velmor")


def sanitizer_reports(path):
    """The sanitizer reports in a process's standard error file, as problems."""
    with open(path, errors="replace") as f:
        text = f.read()
    return [f"{mark!r} in {path}" for mark in SANITIZER_REPORTS if mark in text]


def wait_ready(proc, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        line = proc.stdout.readline()
        if not line:
            break
        if "ready" in line.lower():
            return True
    return False


def users(document):
    return sorted(profile["name"] for profile in document.get("userProfiles", []))


def read_json(path):
    try:
        with open(path, "rb") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def record_document(shared):
    """The profiles document in the shared folder's profiles record; none without one."""
    record = read_json(os.path.join(shared, "records", "profiles.json"))
    if not record:
        return None
    # The payload is stored as base64 bytes somewhere in the record's fields.
    for candidate in re.findall(r'"([A-Za-z0-9+/=]{200,})"', json.dumps(record)):
        try:
            return json.loads(base64.b64decode(candidate))
        except ValueError:
            continue
    return None


def record_users(shared):
    """The user profiles' names in the shared folder's profiles record; none without one."""
    document = record_document(shared)
    return users(document) if document is not None else None


def kept_documents(folder):
    """The profiles kept as files beside profiles.json, each as a small profiles document."""
    kept = []
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        data = read_json(os.path.join(folder, name)) if " profile)" in name and name.endswith(".json") else None
        if not isinstance(data, dict):
            continue
        if "profile" in data:  # a user profile, with the tools of its PACS profile
            pacs = {"id": data["profile"].get("pacsProfileId"), "name": data.get("pacsProfileName"),
                    "tools": data.get("pacsTools") or []}
            kept.append({"userProfiles": [data["profile"]], "pacsProfiles": [pacs]})
        elif "tools" in data:
            kept.append({"userProfiles": [], "pacsProfiles": [data]})
    return kept


def wait_until(check, timeout, step=0.002):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if check():
            return True
        time.sleep(step)
    return False


def copy_terminal(master, path):
    """Copies what a process writes to its terminal (kept line by line, as a user sees it) into a file."""
    def pump():
        with open(path, "wb") as out:
            while True:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    break
                if not chunk:
                    break
                out.write(chunk)
                out.flush()
        os.close(master)
    threading.Thread(target=pump, daemon=True).start()
