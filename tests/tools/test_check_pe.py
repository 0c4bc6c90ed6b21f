#!/usr/bin/env python3
"""Tests of check_pe.py and of the resources it checks.

Small executables are built with the 32-bit (and, for the test build's
manifest, the 64-bit) MinGW cross compiler from the project's resources,
once as they are and once for each kind of damage that the checker must
catch. Each damaged build must fail exactly the checks that the damage
touches.

Run: python3 tests/tools/test_check_pe.py -v
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
RESOURCES = os.path.join(ROOT, "resources")
CHECKER = os.path.join(HERE, "check_pe.py")

sys.path.insert(0, HERE)
import check_pe  # noqa: E402

TOOLS = {
    "i686": "i686-w64-mingw32",
    "x86_64": "x86_64-w64-mingw32",
}

WINMAIN = r"""
#include <windows.h>
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show)
{
    (void)instance; (void)previous; (void)command; (void)show;
    return 0;
}
"""

# A C++ program that, linked without -static, needs the GCC run-time DLLs.
CXX_MAIN = r"""
#include <windows.h>
#include <string>
#include <stdexcept>
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command, int)
{
    std::string s(command);
    try { if (s.size() > 1000) throw std::runtime_error(s); }
    catch (const std::exception &e) { return (int)std::string(e.what()).size(); }
    return (int)s.size();
}
"""

# Reports which common controls the process got: 6 when comctl32.dll was
# loaded from the side-by-side store, as the manifest's dependency asks,
# 5 when it is the plain one from the system folder.
COMMON_CONTROLS_PROBE = r"""
#include <windows.h>
#include <commctrl.h>
#include <string.h>
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show)
{
    (void)instance; (void)previous; (void)command; (void)show;
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&icc);
    HMODULE module = GetModuleHandleA("comctl32.dll");
    char path[MAX_PATH];
    if (!module || !GetModuleFileNameA(module, path, sizeof path))
        return 100;
    CharLowerA(path);
    return strstr(path, "\\winsxs\\") ? 6 : 5;
}
"""


def run(cmd, **kw):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            universal_newlines=True, **kw)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s" % (" ".join(cmd), result.returncode,
                                                       result.stdout))
    return result.stdout


def check(exe, *options):
    """Runs the checker; returns (exit status, output, names of failed checks)."""
    result = subprocess.run([sys.executable, CHECKER, exe] + list(options),
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            universal_newlines=True)
    failed = {line[5:].split(":")[0] for line in result.stdout.splitlines()
              if line.startswith("FAIL ")}
    return result.returncode, result.stdout, failed


def ico_images(data):
    """The images of an .ico file: (directory entry fields, image bytes)."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    out = []
    for i in range(count):
        entry = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        out.append((entry, data[entry[7]:entry[7] + entry[6]]))
    return out


def write_ico(images):
    """An .ico file from (width, colour count, bit count, image bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for width, colours, bits, image in images:
        out += struct.pack("<BBBBHHII", width, width, colours, 0, 1, bits, len(image),
                           offset + len(body))
        body += image
    return out + body


def to_256_colours(image):
    """The same picture as an 8-bit image with a 256-entry palette."""
    header = list(struct.unpack_from("<IiiHHIIiiII", image, 0))
    width, height = header[1], header[2] // 2
    palette = image[40:40 + 64] + b"\0" * (4 * 240)
    src_stride = (width * 4 + 31) // 32 * 4
    dst_stride = (width * 8 + 31) // 32 * 4
    pixels = image[40 + 64:]
    xor = bytearray()
    for row in range(height):
        line = bytearray(dst_stride)
        for i in range(width):
            byte = pixels[row * src_stride + i // 2]
            line[i] = byte >> 4 if i % 2 == 0 else byte & 0x0F
        xor += line
    mask = pixels[src_stride * height:]
    header[4] = 8
    header[6] = len(xor) + len(mask)
    return struct.pack("<IiiHHIIiiII", *header) + palette + bytes(xor) + mask


class Builder:
    """Builds small executables with a copy of the resources in a temp dir."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="check-pe-")
        self.count = 0

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def resources(self, edit=None):
        """A copy of resources/; `edit(folder)` may damage it."""
        self.count += 1
        folder = os.path.join(self.dir, "res%d" % self.count)
        shutil.copytree(RESOURCES, folder,
                        ignore=shutil.ignore_patterns("__pycache__", "*.py"))
        if edit:
            edit(folder)
        return folder

    def build(self, arch="i686", edit=None, defines=(), subsystem="windows",
              source=WINMAIN, cxx=False, static=True, with_resources=True, libs=()):
        triple = TOOLS[arch]
        self.count += 1
        name = "t%d" % self.count
        src = os.path.join(self.dir, name + (".cpp" if cxx else ".c"))
        with open(src, "w") as f:
            f.write(source)
        objects = []
        if with_resources:
            folder = self.resources(edit)
            obj = os.path.join(self.dir, name + "-res.o")
            run([triple + "-windres", "-O", "coff"] + ["-D" + d for d in defines]
                + [os.path.join(folder, "app.rc"), obj])
            objects.append(obj)
        exe = os.path.join(self.dir, name + ".exe")
        compiler = triple + ("-g++-posix" if cxx else "-gcc-posix")
        run([compiler, "-Os", "-s", "-m" + subsystem] + (["-static"] if static else [])
            + [src] + objects + ["-o", exe] + list(libs))
        return exe


def replace_in(folder, filename, old, new):
    path = os.path.join(folder, filename)
    with open(path) as f:
        text = f.read()
    if old not in text:
        raise AssertionError("%r not found in %s" % (old, filename))
    with open(path, "w") as f:
        f.write(text.replace(old, new))


class ResourceFiles(unittest.TestCase):
    """The files under resources/ themselves."""

    def test_icon_file_is_what_make_icon_draws(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "app.ico")
            run([sys.executable, os.path.join(RESOURCES, "make_icon.py"), out])
            with open(out, "rb") as f:
                drawn = f.read()
        with open(os.path.join(RESOURCES, "app.ico"), "rb") as f:
            committed = f.read()
        self.assertEqual(drawn, committed, "app.ico is stale: run resources/make_icon.py")

    def test_icon_file_holds_three_16_colour_images(self):
        with open(os.path.join(RESOURCES, "app.ico"), "rb") as f:
            data = f.read()
        self.assertEqual(struct.unpack_from("<HHH", data, 0), (0, 1, 3))
        images = ico_images(data)
        self.assertEqual([e[0] for e, _ in images], [16, 32, 48])
        for (width, height, colours, reserved, planes, bits, size, offset), image in images:
            with self.subTest(size=width):
                self.assertEqual((height, colours, reserved, planes, bits), (width, 16, 0, 1, 4))
                self.assertEqual(len(image), size)
                header = struct.unpack_from("<IiiHHIIiiII", image, 0)
                self.assertEqual(header[:6], (40, width, 2 * width, 1, 4, 0))
                xor = (width * 4 + 31) // 32 * 4 * width
                mask = (width + 31) // 32 * 4 * width
                self.assertEqual(size, 40 + 64 + xor + mask)
                # A real picture: some pixels are transparent, some are not,
                # and the heart's red is among the opaque ones.
                mask_bits = image[40 + 64 + xor:]
                row = (width + 31) // 32 * 4
                transparent = sum(bin(b).count("1") for r in range(width)
                                  for b in mask_bits[r * row:r * row + width // 8])
                self.assertGreater(transparent, 0)
                self.assertLess(transparent, width * width // 2)
                palette = [image[40 + 4 * i:40 + 4 * i + 3] for i in range(16)]
                red = palette.index(bytes((52, 32, 222)))  # blue, green, red
                indices = {(b >> 4) for b in image[104:104 + xor]} | \
                          {(b & 15) for b in image[104:104 + xor]}
                self.assertIn(red, indices)

    def manifest_failures(self, path, arch):
        with open(path, "rb") as f:
            text = f.read()
        return self.text_failures(text, arch)

    def text_failures(self, text, arch):
        lines = []

        class Out:
            def write(self, s):
                lines.append(s)

        report = check_pe.Report(Out())
        check_pe.check_manifest_text(report, text, arch)
        self.assertGreater(report.count, 5)
        return {line[5:].split(":")[0] for line in "".join(lines).splitlines()
                if line.startswith("FAIL ")}

    def test_shipped_manifest_is_the_x86_one(self):
        shipped = os.path.join(RESOURCES, "app.manifest")
        self.assertEqual(self.manifest_failures(shipped, "x86"), set())
        self.assertEqual(self.manifest_failures(shipped, "amd64"),
                         {"manifest assembly identity", "manifest common controls dependency"})

    def test_test_build_manifest_differs_only_in_architecture(self):
        test_build = os.path.join(RESOURCES, "app-amd64.manifest")
        self.assertEqual(self.manifest_failures(test_build, "amd64"), set())
        with open(test_build) as f:
            amd64 = f.read()
        with open(os.path.join(RESOURCES, "app.manifest")) as f:
            x86 = f.read()
        self.assertEqual(amd64.count('processorArchitecture="amd64"'), 2)
        self.assertEqual(amd64.replace('processorArchitecture="amd64"',
                                       'processorArchitecture="x86"'), x86)

    def damaged(self, old, new):
        with open(os.path.join(RESOURCES, "app.manifest"), "rb") as f:
            text = f.read()
        self.assertIn(old.encode(), text)
        return self.text_failures(text.replace(old.encode(), new.encode()), "x86")

    def test_manifest_damage_is_found(self):
        cases = [
            ('level="requireAdministrator"', 'level="asInvoker"',
             {"manifest requested execution level"}),
            ('uiAccess="false"', 'uiAccess="true"', {"manifest requested execution level"}),
            (' uiAccess="false"', '', {"manifest requested execution level"}),
            ('6595b64144ccf1df', '6595b64144ccf1dd', {"manifest common controls dependency"}),
            ('version="6.0.0.0"', 'version="5.82.0.0"', {"manifest common controls dependency"}),
            ('language="*"', 'language="*" extra="1"', {"manifest common controls dependency"}),
            ('name="Tolvik.App"', 'name="Tolvik.App "', {"manifest assembly identity"}),
            ('version="5.2.0.0"', 'version="5.2.0.1"', {"manifest assembly identity"}),
            ('urn:schemas-microsoft-com:asm.v3', 'urn:schemas-microsoft-com:asm.v2',
             {"manifest trust info", "manifest security", "manifest requested privileges",
              "manifest requested execution level", "manifest has no other elements"}),
            ('</assembly>', '<application/></assembly>', {"manifest has no other elements"}),
        ]
        for old, new, expected in cases:
            with self.subTest(change=new):
                self.assertEqual(self.damaged(old, new), expected)

    def test_manifest_without_dependency_fails(self):
        with open(os.path.join(RESOURCES, "app.manifest")) as f:
            text = f.read()
        start, end = text.index("<dependency>"), text.index("</dependency>") + len("</dependency>")
        failed = self.text_failures((text[:start] + text[end:]).encode(), "x86")
        self.assertEqual(failed, {"manifest dependency", "manifest dependent assembly",
                                  "manifest common controls dependency"})

    def test_broken_xml_fails(self):
        lines = []
        report = check_pe.Report(type("Out", (), {"write": lambda self, s: lines.append(s)})())
        check_pe.check_manifest_text(report, b"<assembly", "x86")
        self.assertEqual((report.count, report.failures), (1, 1))
        self.assertTrue("".join(lines).startswith("FAIL manifest XML"))


class BuiltExecutables(unittest.TestCase):
    """Executables built with the project's resources, intact and damaged."""

    @classmethod
    def setUpClass(cls):
        cls.builder = Builder()
        cls.good = cls.builder.build()

    @classmethod
    def tearDownClass(cls):
        cls.builder.close()

    def assertFails(self, exe, expected, *options):
        status, output, failed = check(exe, *options)
        self.assertEqual(status, 1, output)
        self.assertEqual(failed, expected, output)
        return output

    def test_intact_x86_build_passes(self):
        status, output, failed = check(self.good)
        self.assertEqual((status, failed), (0, set()), output)
        for line in ("ok   machine: i386 (0x014C)",
                     "ok   subsystem: Windows GUI (2)",
                     "ok   version resource: id 1 language 2052",
                     'ok   icon group: "DEFAULT_ICON" language 0',
                     "ok   manifest resource: id 1 language 0"):
            self.assertIn(line, output)
        self.assertIn("checks, 0 failed", output)

    def test_x64_build_with_its_manifest_passes_as_amd64_only(self):
        exe = self.builder.build("x86_64", defines=["CONFESSION_MANIFEST_AMD64"])
        status, output, failed = check(exe, "--machine", "amd64")
        self.assertEqual((status, failed), (0, set()), output)
        self.assertFails(exe, {"machine", "optional header", "manifest assembly identity",
                               "manifest common controls dependency"})

    def test_x86_build_with_the_test_manifest_fails(self):
        exe = self.builder.build(defines=["CONFESSION_MANIFEST_AMD64"])
        self.assertFails(exe, {"manifest assembly identity", "manifest common controls dependency"})

    def test_console_build_fails(self):
        exe = self.builder.build(subsystem="console")
        output = self.assertFails(exe, {"subsystem"})
        self.assertIn("Windows console (3)", output)

    def test_version_in_another_language_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(d, "app.rc", "LANGUAGE 4, 2",
                                                           "LANGUAGE 9, 1"))
        output = self.assertFails(exe, {"version resource"})
        self.assertIn("id 1 language 1033", output)

    def test_icon_and_manifest_in_a_language_fail(self):
        exe = self.builder.build(edit=lambda d: replace_in(d, "app.rc", "LANGUAGE 0, 0",
                                                           "LANGUAGE 4, 2"))
        self.assertFails(exe, {"icon group", "icon 16x16 image", "icon 32x32 image",
                               "icon 48x48 image", "manifest resource"})

    def test_version_keys_out_of_order_fail(self):
        def swap(d):
            replace_in(d, "app.rc", 'VALUE "FileDescription"', 'VALUE "@@"')
            replace_in(d, "app.rc", 'VALUE "ProductName"', 'VALUE "FileDescription"')
            replace_in(d, "app.rc", 'VALUE "@@"', 'VALUE "ProductName"')
        self.assertFails(self.builder.build(edit=swap), {"version string keys"})

    def test_version_value_with_trailing_blank_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.rc", 'VALUE "Comments",        "Quillmere Tarvox By:Brenn"',
            'VALUE "Comments",        "Quillmere Tarvox By:Brenn "'))
        self.assertFails(exe, {"version string Comments"})

    def test_missing_version_key_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.rc", 'VALUE "LegalCopyright",  "Quillmere Tarvox By:Brenn"\n', ""))
        self.assertFails(exe, {"version string keys", "version string LegalCopyright"})

    def test_version_fixed_part_damage_fails(self):
        def damage(d):
            replace_in(d, "app.rc", "FILEVERSION     1, 0, 0, 0", "FILEVERSION     1, 0, 0, 1")
            replace_in(d, "app.rc", "FILETYPE        VFT_APP", "FILETYPE        VFT_DLL")
            replace_in(d, "app.rc", "FILEFLAGS       0", "FILEFLAGS       VS_FF_DEBUG")
        self.assertFails(self.builder.build(edit=damage),
                         {"version file version", "version file type", "version file flags"})

    def test_other_string_table_and_translation_fail(self):
        def damage(d):
            replace_in(d, "app.rc", 'BLOCK "080404B0"', 'BLOCK "040904B0"')
            replace_in(d, "app.rc", "0x0804, 0x04B0", "0x0409, 0x04B0")
        output = self.assertFails(self.builder.build(edit=damage),
                                  {"version string tables", "version translation"})
        self.assertIn("0x0409 0x04B0, expected 0x0804 0x04B0", output)

    def test_manifest_without_administrator_request_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.manifest", 'level="requireAdministrator"', 'level="asInvoker"'))
        output = self.assertFails(exe, {"manifest requested execution level"})
        self.assertIn('level="asInvoker"', output)

    def test_manifest_under_another_id_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.rc", '1 RT_MANIFEST "app.manifest"', '2 RT_MANIFEST "app.manifest"'))
        self.assertFails(exe, {"manifest resource"})

    def test_256_colour_icon_fails(self):
        def damage(d):
            path = os.path.join(d, "app.ico")
            with open(path, "rb") as f:
                images = ico_images(f.read())
            with open(path, "wb") as f:
                f.write(write_ico([(e[0], 0, 8, to_256_colours(img)) for e, img in images]))
        self.assertFails(self.builder.build(edit=damage),
                         {"icon 16x16 group entry", "icon 16x16 image",
                          "icon 32x32 group entry", "icon 32x32 image",
                          "icon 48x48 group entry", "icon 48x48 image"})

    def test_icon_group_without_48_image_fails(self):
        def damage(d):
            path = os.path.join(d, "app.ico")
            with open(path, "rb") as f:
                images = ico_images(f.read())
            with open(path, "wb") as f:
                f.write(write_ico([(e[0], e[2], e[5], img) for e, img in images[:2]]))
        output = self.assertFails(self.builder.build(edit=damage), {"icon group sizes"})
        self.assertIn("16x16, 32x32; expected", output)

    def test_icon_group_under_another_name_fails(self):
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.rc", "DEFAULT_ICON ICON", "APP_ICON ICON"))
        self.assertFails(exe, {"icon group"})

    def test_another_icon_group_first_fails(self):
        # Named resources sort by name: "A_OTHER" comes before "DEFAULT_ICON"
        # and would become the executable's icon.
        exe = self.builder.build(edit=lambda d: replace_in(
            d, "app.rc", 'DEFAULT_ICON ICON "app.ico"',
            'DEFAULT_ICON ICON "app.ico"\nA_OTHER ICON "app.ico"'))
        self.assertFails(exe, {"icon group is the executable's icon"})

    def test_gcc_runtime_dlls_fail(self):
        exe = self.builder.build(source=CXX_MAIN, cxx=True, static=False)
        output = self.assertFails(exe, {"imported DLLs"})
        self.assertIn("a GCC run-time library", output)
        self.assertRegex(output, r"libstdc\+\+-6\.dll|libgcc_s_\w+-1\.dll")

    def test_statically_linked_cxx_passes(self):
        exe = self.builder.build(source=CXX_MAIN, cxx=True, static=True)
        status, output, failed = check(exe)
        self.assertEqual((status, failed), (0, set()), output)

    def test_executable_without_resources_fails(self):
        exe = self.builder.build(with_resources=False)
        self.assertFails(exe, {"version resource", "icon group", "manifest resource"})

    def test_size_budget(self):
        size = os.path.getsize(self.good)
        status, output, failed = check(self.good, "--max-size", str(size))
        self.assertEqual(status, 0, output)
        self.assertIn("ok   file size: %d bytes, budget %d" % (size, size), output)
        status, output, failed = check(self.good, "--max-size", str(size - 1))
        self.assertEqual((status, failed), (0, set()), output)
        self.assertIn("warn file size: %d bytes, budget %d, over by 1" % (size, size - 1), output)
        output = self.assertFails(self.good, {"file size"}, "--max-size", str(size - 1),
                                  "--strict-size")

    def test_not_a_pe_file(self):
        path = os.path.join(self.builder.dir, "not.exe")
        with open(path, "wb") as f:
            f.write(b"MZ" + b"\0" * 58 + struct.pack("<I", 0x1000) + b"\0" * 100)
        status, output, failed = check(path)
        self.assertEqual(status, 2, output)
        self.assertEqual(failed, {"PE file"})

    def test_truncated_file_is_reported_not_crashed(self):
        with open(self.good, "rb") as f:
            data = f.read()
        path = os.path.join(self.builder.dir, "cut.exe")
        with open(path, "wb") as f:
            f.write(data[:len(data) // 2])
        status, output, failed = check(path)
        self.assertIn(status, (1, 2), output)
        self.assertNotIn("Traceback", output)
        self.assertTrue(failed)


# The 64-bit loader itself: a wine32 package, where installed, would make the
# plain "wine" command pick a 32-bit loader that cannot run here.
WINE = os.environ.get("WINELOADER") or (
    "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else shutil.which("wine64")
    or "wine64")
WINESERVER = os.environ.get("WINESERVER") or "/usr/lib/wine/wineserver"


@unittest.skipUnless(shutil.which(WINE) and os.path.exists(WINESERVER), "Wine is not installed")
class StartUnderWine(unittest.TestCase):
    """The 64-bit test build with its manifest, started under Wine: it starts
    although it asks for administrator rights, and it gets common controls 6;
    with the x86 manifest it would get the old ones."""

    @classmethod
    def setUpClass(cls):
        cls.builder = Builder()
        cls.env = dict(os.environ, WINEPREFIX=os.path.join(cls.builder.dir, "prefix"),
                       WINEARCH="win64", WINELOADER=WINE, WINESERVER=WINESERVER,
                       WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run([WINE, "wineboot", "-i"], env=cls.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)

    @classmethod
    def tearDownClass(cls):
        subprocess.run([WINESERVER, "-k"], env=cls.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        cls.builder.close()

    def start(self, defines):
        exe = self.builder.build("x86_64", defines=defines, source=COMMON_CONTROLS_PROBE,
                                 libs=["-lcomctl32"])
        return subprocess.run([WINE, exe], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=120).returncode

    def test_test_build_manifest_gives_common_controls_6(self):
        self.assertEqual(self.start(["CONFESSION_MANIFEST_AMD64"]), 6)

    def test_x86_manifest_in_a_64_bit_process_misses_them(self):
        self.assertEqual(self.start([]), 5)


if __name__ == "__main__":
    unittest.main()
