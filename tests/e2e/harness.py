"""What the end-to-end tests stand on: the tool started under Wine, the driver
that uses its window from outside, and the local card service that records the
requests the browser view makes.

CONFESSION_TEST_DEBUG=1 shows what Wine and the programs print.

Paths of the programs come from the environment that CTest sets:
CONFESSION_TOOL_EXE, CONFESSION_PROBE_EXE, CONFESSION_DRIVER_EXE and
CONFESSION_MARKER_DLL.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
CARD_SERVICE = os.path.join(ROOT, "tests", "card_service", "card_service.py")
# Debian's Python, which has the picture library that the service draws with.
CARD_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
SERVICE_PORT = 80
SERVICE_URL = "http://127.0.0.1:%d" % SERVICE_PORT

TOOL_EXE = os.environ.get("CONFESSION_TOOL_EXE", "")
PROBE_EXE = os.environ.get("CONFESSION_PROBE_EXE", "")
DRIVER_EXE = os.environ.get("CONFESSION_DRIVER_EXE", "")
MARKER_DLL = os.environ.get("CONFESSION_MARKER_DLL", "")

MAIN_CLASS = b"ConfessionCardMainWindow"
REQUEST_PREFIX = "/app/index.php?c=entry&m=leo_generate&do=index&i=2&name="

# Virtual keys.
VK_BACK, VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE, VK_F1 = 0x08, 0x09, 0x0D, 0x1B, 0x20, 0x70

# Window styles.
WS_CHILD, WS_VISIBLE, WS_CLIPSIBLINGS, WS_CLIPCHILDREN = 0x40000000, 0x10000000, 0x04000000, 0x02000000
WS_CAPTION, WS_BORDER, WS_SYSMENU, WS_THICKFRAME = 0x00C00000, 0x00800000, 0x00080000, 0x00040000
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_TABSTOP = 0x00020000, 0x00010000, 0x00010000
WS_EX_TRANSPARENT, WS_EX_CLIENTEDGE, WS_EX_STATICEDGE, WS_EX_DLGMODALFRAME = 0x20, 0x200, 0x20000, 0x1
ES_CENTER, ES_AUTOHSCROLL = 0x1, 0x80
BS_CENTER, BS_VCENTER, BS_MULTILINE, BS_DEFPUSHBUTTON = 0x300, 0xC00, 0x2000, 0x1

UNRESERVED = re.compile(r"%([0-9A-Fa-f]{2})")


def gbk(text):
    """The bytes of a text in the tool's ANSI code page."""
    return text.encode("gbk")


def decode_unreserved(target):
    """Decodes the escapes of letters, digits and -._~ (which Wine decodes
    before it sends a request) and upper-cases the hex digits of the others."""
    def replace(match):
        value = int(match.group(1), 16)
        char = chr(value)
        if char.isascii() and (char.isalnum() or char in "-._~"):
            return char
        return "%" + match.group(1).upper()
    return UNRESERVED.sub(replace, target)


def wait_for(predicate, timeout=10.0, interval=0.05):
    """Polls until predicate() gives a true value, which it returns; None when
    the time runs out."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


class Driver:
    """The driver program, one per test class: a line out, a JSON line back."""

    def __init__(self):
        self.process = subprocess.Popen(
            [WINE_RUN, DRIVER_EXE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, text=True, encoding="ascii")

    def __call__(self, *words):
        line = " ".join(str(w) for w in words)
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise RuntimeError("the driver ended while answering %r" % line)
        return json.loads(answer)

    def close(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.flush()
            self.process.wait(timeout=10)
        except Exception:
            self.process.kill()
            self.process.wait()

    # Convenience forms of the commands.
    def text(self, hwnd):
        return bytes.fromhex(self("text", hwnd))

    def boxes(self, pid):
        found = self("boxes", pid)
        for box in found:
            box["caption"] = bytes.fromhex(box["caption"])
            box["text"] = bytes.fromhex(box["text"])
        return found

    def children(self, hwnd):
        found = self("children", hwnd)
        for child in found:
            child["class"] = bytes.fromhex(child["class"])
            child["text"] = bytes.fromhex(child["text"])
        return found

    def focus(self, tid):
        found = self("focus", tid)
        if found:
            found["class"] = bytes.fromhex(found["class"])
        return found

    def type_text(self, hwnd, text_bytes):
        """Types the characters of a GBK text one by one, as the keyboard or
        an input method delivers them."""
        for char in text_bytes.decode("gbk"):
            self("wchar", hwnd, ord(char))


class Tool:
    """One run of a Windows program of the project under Wine."""

    def __init__(self, exe, *args, cwd=None, env=None):
        self.process = subprocess.Popen(
            [WINE_RUN, exe] + list(args), cwd=cwd, env=env,
            stdout=subprocess.DEVNULL, stderr=None if os.environ.get("CONFESSION_TEST_DEBUG") else subprocess.DEVNULL)

    def wait(self, timeout):
        """The exit code as the shell sees it, or None if still running."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def die_with_parent():
    """Runs in a child before it starts: the child gets SIGTERM when the test
    process ends, also when it is killed, so no service outlives its run."""
    import ctypes
    import signal
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class CardService:
    """The local card service on port 80, started once for the whole run of a
    test module if nothing answers there yet."""

    process = None

    @classmethod
    def ensure(cls):
        if cls.healthy():
            return
        cls.process = subprocess.Popen(
            [CARD_PYTHON, CARD_SERVICE, "--host", "127.0.0.1", "--port", str(SERVICE_PORT)],
            stdout=subprocess.DEVNULL, stderr=None if os.environ.get("CONFESSION_TEST_DEBUG") else subprocess.DEVNULL)
        if not wait_for(cls.healthy, timeout=15):
            raise RuntimeError("the card service did not start")

    @classmethod
    def stop(cls):
        if cls.process is not None:
            cls.process.terminate()
            try:
                cls.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                cls.process.kill()
            cls.process = None

    @staticmethod
    def healthy():
        try:
            with urllib.request.urlopen(SERVICE_URL + "/__health", timeout=2) as answer:
                return answer.read().strip() == b"ok"
        except OSError:
            return False

    @staticmethod
    def reset():
        with urllib.request.urlopen(SERVICE_URL + "/__reset", timeout=5) as answer:
            answer.read()

    @staticmethod
    def requests(path="/app/index.php"):
        query = "?" + urllib.parse.urlencode({"path": path}) if path else ""
        with urllib.request.urlopen(SERVICE_URL + "/__requests" + query, timeout=10) as answer:
            return json.loads(answer.read().decode("ascii"))

    @classmethod
    def card_targets(cls):
        """The request targets of the card page, in the order they came."""
        return [r["request_line"].split(" ")[1] for r in cls.requests()]


def card_target(encoded_name, type_piece):
    """The expected request target, compared as Wine sends it."""
    return decode_unreserved(REQUEST_PREFIX + encoded_name + type_piece)


def utf8_escapes(text):
    return "".join("%%%02X" % b for b in text.encode("utf-8"))


class ToolTestCase(unittest.TestCase):
    """A test that starts the tool and finds its window; the tool is stopped
    after each test if the test left it running."""

    exe = TOOL_EXE
    driver = None

    @classmethod
    def setUpClass(cls):
        CardService.ensure()
        cls.driver = Driver()

    @classmethod
    def tearDownClass(cls):
        cls.driver.close()
        CardService.stop()

    def setUp(self):
        self.tool = None

    def tearDown(self):
        if self.tool is not None:
            self.tool.kill()

    def start(self, *args, exe=None, cwd=None, env=None):
        # Windows of other runs may be open: the tool's is the one that is new.
        known = {w["pid"] for w in self.driver("mains")}
        self.tool = Tool(exe or self.exe, *args, cwd=cwd, env=env)
        self.main = wait_for(lambda: next((w for w in self.driver("mains") if w["pid"] not in known), None), 30)
        self.assertIsNotNone(self.main, "the main window did not appear")
        self.pid, self.tid, self.hwnd = self.main["pid"], self.main["tid"], self.main["hwnd"]
        self.controls = self.driver.children(self.hwnd)
        return self.main

    def control(self, class_name, index=0):
        """A control by its class, counted from the top of the stacking order."""
        found = [c for c in self.controls if c["class"].lower() == class_name.lower()]
        return found[index]

    @property
    def name_box(self):
        return self.control(b"Edit", 1)["hwnd"]

    @property
    def type_box(self):
        return self.control(b"Edit", 0)["hwnd"]

    @property
    def button(self):
        return self.control(b"Button")["hwnd"]

    @property
    def view(self):
        return self.control(b"ConfessionCardHtmlViewer")["hwnd"]

    def wait_boxes(self, count, timeout=10):
        found = wait_for(lambda: (lambda b: (b,) if len(b) == count else None)(self.driver.boxes(self.pid)), timeout)
        self.assertIsNotNone(found, "expected %d message boxes, have %d" % (count, len(self.driver.boxes(self.pid))))
        return found[0]

    def wait_exit(self, timeout=10):
        code = self.tool.wait(timeout)
        self.assertIsNotNone(code, "the process did not end")
        return code

    def set_boxes(self, name_bytes, type_bytes):
        """Fills the two boxes as a user who selects their text and types over
        it: the old text is removed with Backspace first."""
        for hwnd, value in ((self.name_box, name_bytes), (self.type_box, type_bytes)):
            for _ in range(len(self.driver.text(hwnd))):
                self.driver("key", hwnd, 0x23)  # End
                self.driver("char", hwnd, VK_BACK)
            self.driver.type_text(hwnd, value)
            self.assertIsNotNone(wait_for(lambda: self.driver.text(hwnd) == value), "box text not set")

    def wait_card_targets(self, count, timeout=10):
        found = wait_for(lambda: (lambda t: (t,) if len(t) >= count else None)(CardService.card_targets()), timeout)
        self.assertIsNotNone(found, "expected %d card requests, have %r" % (count, CardService.card_targets()))
        return found[0]


def scratch_dir():
    return tempfile.mkdtemp(prefix="cc-e2e-")


def copy_beside(directory, source, name=None):
    target = os.path.join(directory, name or os.path.basename(source))
    shutil.copyfile(source, target)
    return target
