"""The tool runs elevated, so it must never load a library that lies in its
own folder. Copies of a marker library, which leaves a file beside itself when
it is loaded, are planted there under the names of libraries the process uses.
Wine is told to prefer such files over its own, as Windows does for a library
found in the program's folder."""

import glob
import os
import shutil
import unittest

from harness import *  # noqa: F401,F403
from harness import MARKER_DLL, PROBE_EXE, TOOL_EXE, Tool, ToolTestCase, copy_beside, scratch_dir, wait_for

PLANTED = ["kernel32", "urlmon", "wininet", "ieframe", "shdocvw", "mshtml", "shlwapi", "uxtheme", "comctl32",
           "winmm", "dwmapi", "iertutil", "msimtf", "oleacc", "winhttp", "secur32", "ws2_32", "iphlpapi",
           "dnsapi", "crypt32", "jscript", "actxprxy", "propsys", "userenv", "netapi32"]

# Wine's own user32 imports version.dll, so the loader brings it in while the
# process is made, before the program's first instruction runs; no program
# can keep it out, and on Windows user32 does not need it. It is not planted.
# kernel32.dll is planted but Wine always uses its own: told otherwise, its
# loader cannot even start a process.
PREFER_NATIVE = "mscoree=;" + ",".join(n for n in PLANTED if n != "kernel32") + "=n,b"


class LibrarySearchTest(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.folder = scratch_dir()
        for name in PLANTED:
            copy_beside(self.folder, MARKER_DLL, name + ".dll")
        self.env = dict(os.environ, WINEDLLOVERRIDES=PREFER_NATIVE)

    def tearDown(self):
        super().tearDown()
        shutil.rmtree(self.folder, ignore_errors=True)

    def loaded(self):
        return sorted(os.path.basename(p) for p in glob.glob(os.path.join(self.folder, "*.loaded")))

    def test_tool_loads_no_library_from_its_folder(self):
        exe = copy_beside(self.folder, TOOL_EXE)
        self.start(exe=exe, cwd=self.folder, env=self.env)
        self.set_boxes(b"Tom", b"3")
        self.driver("click", self.button)
        self.driver("dismiss", self.wait_boxes(1)[0]["hwnd"])
        self.driver("close", self.hwnd)
        self.assertEqual(self.wait_exit(), 0)
        self.assertEqual(self.loaded(), [])

    def test_planted_library_is_found_only_without_the_restriction(self):
        exe = copy_beside(self.folder, PROBE_EXE)
        marker = copy_beside(self.folder, MARKER_DLL, "planted.dll")
        protected = Tool(exe, "load-bare", "planted.dll", cwd=self.folder, env=self.env)
        self.assertEqual(protected.wait(30), 1, "the restricted search must not find the planted library")
        self.assertEqual(self.loaded(), [])
        unprotected = Tool(exe, "unprotected", "load-bare", "planted.dll", cwd=self.folder, env=self.env)
        self.assertEqual(unprotected.wait(30), 0)
        self.assertEqual(self.loaded(), [os.path.basename(marker) + ".loaded"])


if __name__ == "__main__":
    unittest.main()
