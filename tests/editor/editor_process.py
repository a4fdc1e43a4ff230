"""kvrn-prefs edit running on a copy of the example installation, for the editor's tests."""
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile

BINARY = os.environ.get("KVRN_PREFS_BINARY", "")
EXAMPLES = os.environ.get("VUZODOD_EXAMPLES_DIR", "")
LEVELS = {1: "site", 2: "group", 3: "user"}


def refuse_without_setup():
    """Stops at once, with a clear message, when not run by ctest with the paths it sets."""
    if not os.path.isfile(BINARY) or not os.path.isdir(EXAMPLES):
        raise SystemExit("run by ctest: KVRN_PREFS_BINARY and VUZODOD_EXAMPLES_DIR name the tool "
                         "and the examples folder")


class EditorProcess:
    """Starts the editor on its own copy of the examples; stop() ends it and removes the copy."""

    def __init__(self, *options, idle=120):
        refuse_without_setup()
        self.dir = tempfile.mkdtemp(prefix="kvrn-editor-test-")
        self.root = os.path.join(self.dir, "examples")
        shutil.copytree(EXAMPLES, self.root)
        self.env = dict(os.environ,
                        KVRN_BASE_DIR=self.root,
                        KVRN_SITE_DIR=os.path.join(self.root, "site"),
                        KVRN_GROUP_DIR=os.path.join(self.root, "group"),
                        KVRN_USER_DIR=os.path.join(self.root, "user"),
                        XDG_DATA_HOME=os.path.join(self.dir, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                        XDG_CACHE_HOME=os.path.join(self.dir, "cache"))
        for name in ("KVRN_LANG", "KVRN_VERU_XML_DEF_DIR", "KVRN_LOCAL_USER_DEFAULTS", "DISPLAY",
                     "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.process = subprocess.Popen(
            [BINARY, "edit", "--no-browser", "--idle-timeout", str(idle), *options],
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self._first_line(timeout=20)
        found = re.search(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)", line)
        if not found:
            self.stop()
            raise AssertionError("kvrn-prefs edit printed no address: " + line)
        self.url = found.group(0)
        self.port = int(found.group(1))
        self.token = found.group(2)
        self.origin = "http://127.0.0.1:%d" % self.port

    def _first_line(self, timeout):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        return self.process.stdout.readline() if ready else ""

    def value_file(self, level):
        return os.path.join(self.root, LEVELS[level], "startup", "kvrn1_%s.dpv" % LEVELS[level])

    def read_value_file(self, level):
        with open(self.value_file(level), "rb") as file:
            return file.read()

    def tool(self, *args):
        """Runs kvrn-prefs on the same installation; its completed process."""
        return subprocess.run([BINARY, *args], env=self.env, capture_output=True, text=True,
                              timeout=30)

    def get(self, name):
        return self.tool("get", name).stdout.strip()

    def wait(self, timeout):
        """The editor's exit status once it ends within timeout seconds; None if it runs on."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        """Ends the editor as Ctrl+C would; fails unless it ends cleanly (status 0, which under
        the sanitizers also means no leak and no fault)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            if self.wait(30) is None:
                self.process.kill()
                self.process.wait()
        errors = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)
        if self.process.returncode != 0:
            raise AssertionError("kvrn-prefs edit ended with status %d:\n%s"
                                 % (self.process.returncode, errors[-4000:]))
