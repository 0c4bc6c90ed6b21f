#!/usr/bin/env python3
"""Checks a built confession_card executable.

Reads the PE file itself (standard library only) and checks:

  - the machine: i386 for the shipped program (or AMD64 with --machine amd64,
    for the 64-bit test build);
  - the subsystem: Windows GUI, no console;
  - the imported DLLs: Windows system DLLs only, so that the program runs from
    its own folder with nothing beside it;
  - the version information: language 2052, the fixed part, the string table
    "080404B0" with its keys in order, the translation entry;
  - the icon group DEFAULT_ICON: three images, 16x16, 32x32 and 48x48, each
    with 16 colours (4 bits per pixel);
  - the manifest (type 24, id 1, language neutral): the application's
    identity, the common controls 6 dependency and the administrator request,
    with exactly the expected elements and attributes;
  - optionally the file size against a budget (--max-size).

Prints one line per check ("ok", "FAIL" or "warn") and exits with 1 when a
check failed, 2 when the file cannot be read as a PE file at all, else 0.
"""

import argparse
import os
import struct
import sys
import xml.etree.ElementTree as ET

MACHINES = {
    "i386": (0x014C, 0x10B, "x86"),
    "amd64": (0x8664, 0x20B, "amd64"),
}
MACHINE_NAMES = {0x014C: "i386", 0x8664: "AMD64", 0xAA64: "ARM64", 0x01C4: "ARMNT"}
SUBSYSTEM_NAMES = {1: "native", 2: "Windows GUI", 3: "Windows console"}

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
LANG_NEUTRAL = 0
LANG_CHINESE_PRC = 2052

APP_TEXT = "Quillmere Tarvox By:Brenn"
VERSION_STRINGS = [
    ("FileVersion", "1.0.0.0"),
    ("FileDescription", APP_TEXT),
    ("ProductName", APP_TEXT),
    ("ProductVersion", "1.0.0.0"),
    ("CompanyName", APP_TEXT),
    ("LegalCopyright", APP_TEXT),
    ("Comments", APP_TEXT),
]
STRING_TABLE = "080404B0"
TRANSLATION = (0x0804, 0x04B0)
FIXED_INFO = [
    # (field, expected, how it is shown)
    ("file version", (1, 0, 0, 0), "dotted"),
    ("product version", (1, 0, 0, 0), "dotted"),
    ("file flags mask", 0x3F, "hex"),
    ("file flags", 0, "hex"),
    ("file OS", 4, "hex"),          # VOS__WINDOWS32
    ("file type", 1, "hex"),        # VFT_APP
    ("file subtype", 0, "hex"),
]
ICON_GROUP = "DEFAULT_ICON"
ICON_SIZES = [16, 32, 48]

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMMON_CONTROLS_TOKEN = "6595b64144ccf1df"

# DLLs that every Windows system has in its system folder. The C runtime of
# the MinGW build is msvcrt.dll, which is one of them; the GCC support
# libraries (libstdc++, libgcc, libwinpthread) are not and must be linked in.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "cfgmgr32.dll", "comctl32.dll", "comdlg32.dll",
    "crypt32.dll", "dbghelp.dll", "dwmapi.dll", "gdi32.dll", "gdiplus.dll",
    "imm32.dll", "iphlpapi.dll", "kernel32.dll", "kernelbase.dll", "mpr.dll",
    "msimg32.dll", "msvcrt.dll", "netapi32.dll", "ntdll.dll", "ole32.dll",
    "oleacc.dll", "oleaut32.dll", "powrprof.dll", "psapi.dll", "rpcrt4.dll",
    "secur32.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "urlmon.dll", "user32.dll", "userenv.dll", "uxtheme.dll", "version.dll",
    "winhttp.dll", "wininet.dll", "winmm.dll", "winspool.drv", "ws2_32.dll",
    "wsock32.dll",
}
SYSTEM_DLL_PREFIXES = ("api-ms-win-", "ext-ms-win-")
RUNTIME_DLL_PREFIXES = ("libstdc++", "libgcc", "libwinpthread")


class PEError(Exception):
    """The file is not a PE file, or a structure in it is out of bounds."""


def u16(data, off):
    if off < 0 or off + 2 > len(data):
        raise PEError("read of 2 bytes at 0x%X beyond the end" % off)
    return struct.unpack_from("<H", data, off)[0]


def u32(data, off):
    if off < 0 or off + 4 > len(data):
        raise PEError("read of 4 bytes at 0x%X beyond the end" % off)
    return struct.unpack_from("<I", data, off)[0]


class PEFile:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PEError("no MZ header")
        pe = u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE signature at 0x%X" % pe)
        coff = pe + 4
        self.machine = u16(data, coff)
        section_count = u16(data, coff + 2)
        optional_size = u16(data, coff + 16)
        self.characteristics = u16(data, coff + 18)
        opt = coff + 20
        self.magic = u16(data, opt)
        if self.magic == 0x10B:
            self.image_base = u32(data, opt + 28)
            dirs = opt + 96
        elif self.magic == 0x20B:
            self.image_base = struct.unpack_from("<Q", data, opt + 24)[0]
            dirs = opt + 112
        else:
            raise PEError("unknown optional header magic 0x%X" % self.magic)
        self.subsystem = u16(data, opt + 68)
        dir_count = u32(data, dirs - 4)
        self.directories = []
        for i in range(min(dir_count, 16)):
            self.directories.append((u32(data, dirs + 8 * i), u32(data, dirs + 8 * i + 4)))
        self.sections = []
        sec = opt + optional_size
        for i in range(section_count):
            s = sec + 40 * i
            if s + 40 > len(data):
                raise PEError("section table beyond the end")
            name = data[s:s + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((name, vaddr, max(vsize, rawsize), rawptr, rawsize))

    def directory(self, index):
        if index < len(self.directories):
            return self.directories[index]
        return (0, 0)

    def offset(self, rva):
        for _, vaddr, vsize, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + vsize:
                if rva - vaddr >= rawsize:
                    raise PEError("RVA 0x%X lies in a section's uninitialised part" % rva)
                return rawptr + rva - vaddr
        raise PEError("RVA 0x%X lies in no section" % rva)

    def read(self, rva, size):
        off = self.offset(rva)
        if off + size > len(self.data):
            raise PEError("%d bytes at RVA 0x%X run past the end" % (size, rva))
        return self.data[off:off + size]

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.find(b"\0", off)
        if end < 0:
            raise PEError("unterminated name at RVA 0x%X" % rva)
        return self.data[off:end].decode("latin-1")

    def imported_dlls(self):
        """The DLL names of the import and the delay-import directories."""
        names = []
        rva, size = self.directory(1)
        if rva:
            pos = rva
            while True:
                entry = self.read(pos, 20)
                if entry == b"\0" * 20:
                    break
                names.append(self.cstring(struct.unpack_from("<I", entry, 12)[0]))
                pos += 20
        rva, size = self.directory(13)
        if rva:
            pos = rva
            while True:
                entry = self.read(pos, 32)
                if entry == b"\0" * 32:
                    break
                attributes, name = struct.unpack_from("<II", entry, 0)
                if not attributes & 1:  # old style: a virtual address
                    name -= self.image_base
                names.append(self.cstring(name))
                pos += 32
        return names

    def resources(self):
        """All resources as (type, name, language, bytes) in directory order;
        types and names are numbers or strings."""
        rva, size = self.directory(2)
        if not rva:
            return []
        base = rva
        out = []

        def entries(dir_rva, depth):
            if depth > 3:
                raise PEError("resource directory nested too deep")
            head = self.read(dir_rva, 16)
            named, ids = struct.unpack_from("<HH", head, 12)
            for i in range(named + ids):
                name_field, target = struct.unpack("<II", self.read(dir_rva + 16 + 8 * i, 8))
                if name_field & 0x80000000:
                    srva = base + (name_field & 0x7FFFFFFF)
                    length = u16(self.read(srva, 2), 0)
                    name = self.read(srva + 2, 2 * length).decode("utf-16-le")
                else:
                    name = name_field & 0xFFFF
                yield name, target

        for type_id, type_target in entries(base, 1):
            if not type_target & 0x80000000:
                raise PEError("resource type entry is not a directory")
            for name, name_target in entries(base + (type_target & 0x7FFFFFFF), 2):
                if not name_target & 0x80000000:
                    raise PEError("resource name entry is not a directory")
                for lang, leaf in entries(base + (name_target & 0x7FFFFFFF), 3):
                    if leaf & 0x80000000:
                        raise PEError("resource language entry is not a leaf")
                    data_rva, data_size = struct.unpack("<II", self.read(base + leaf, 8))
                    out.append((type_id, name, lang, self.read(data_rva, data_size)))
        return out


class Report:
    def __init__(self, out):
        self.out = out
        self.failures = 0
        self.count = 0

    def check(self, ok, what, detail, expected=None):
        """One check; `expected` is added to the detail when it failed."""
        self.count += 1
        if not ok:
            self.failures += 1
            if expected:
                detail = "%s; expected %s" % (detail, expected)
        self.out.write("%-4s %s: %s\n" % ("ok" if ok else "FAIL", what, detail))
        return ok

    def warn(self, what, detail):
        self.out.write("warn %s: %s\n" % (what, detail))


def describe(value):
    return '"%s"' % value if isinstance(value, str) else str(value)


# ---- version information ----------------------------------------------------

def align4(n):
    return (n + 3) & ~3


def version_node(data, off):
    """One node of a VS_VERSIONINFO tree: (key, type, value, children, end)."""
    if off + 6 > len(data):
        raise PEError("version node at %d beyond the resource" % off)
    length, value_length, kind = struct.unpack_from("<HHH", data, off)
    end = off + length
    if length < 6 or end > len(data):
        raise PEError("version node at %d has a bad length %d" % (off, length))
    pos = off + 6
    key_end = pos
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[pos:key_end].decode("utf-16-le")
    pos = align4(key_end + 2)
    if kind == 1:
        # Text: the length counts characters. Read up to the terminator, which
        # also copes with writers that count bytes instead.
        limit = min(end, pos + 2 * value_length) if value_length else pos
        text_end = pos
        while text_end + 1 < limit and data[text_end:text_end + 2] != b"\0\0":
            text_end += 2
        value = data[pos:text_end].decode("utf-16-le")
        pos = align4(min(end, pos + 2 * value_length))
    else:
        value = data[pos:pos + value_length]
        pos = align4(pos + value_length)
    children = []
    while pos < end:
        child = version_node(data, pos)
        children.append(child)
        pos = align4(child[4])
    return key, kind, value, children, end


def check_version(report, resources):
    found = [(name, lang, data) for t, name, lang, data in resources if t == RT_VERSION]
    where = ", ".join("id %s language %s" % (describe(n), l) for n, l, _ in found) or "none"
    if not report.check(len(found) == 1 and found[0][0] == 1 and found[0][1] == LANG_CHINESE_PRC,
                        "version resource", where,
                        "exactly one, id 1 in language %d" % LANG_CHINESE_PRC):
        if not found:
            return
    data = found[0][2]
    try:
        key, _, fixed, children, _ = version_node(data, 0)
    except PEError as e:
        report.check(False, "version resource structure", str(e))
        return
    if not report.check(key == "VS_VERSION_INFO" and len(fixed) >= 52
                        and u32(fixed, 0) == 0xFEEF04BD,
                        "version fixed part", "key %s, %d bytes%s" % (
                            describe(key), len(fixed),
                            ", signature 0x%08X" % u32(fixed, 0) if len(fixed) >= 4 else "")):
        return
    f = struct.unpack_from("<13I", fixed, 0)
    actual = {
        "file version": (f[2] >> 16, f[2] & 0xFFFF, f[3] >> 16, f[3] & 0xFFFF),
        "product version": (f[4] >> 16, f[4] & 0xFFFF, f[5] >> 16, f[5] & 0xFFFF),
        "file flags mask": f[6],
        "file flags": f[7],
        "file OS": f[8],
        "file type": f[9],
        "file subtype": f[10],
    }
    for field, expected, shown in FIXED_INFO:
        value = actual[field]
        if shown == "dotted":
            text = ".".join(map(str, value)), ".".join(map(str, expected))
        else:
            text = "0x%X" % value, "0x%X" % expected
        report.check(value == expected, "version " + field,
                     text[0] if value == expected else "%s, expected %s" % text)

    blocks = {child[0]: child for child in children}
    string_info = blocks.get("StringFileInfo")
    tables = string_info[3] if string_info else []
    report.check(len(tables) == 1 and tables[0][0] == STRING_TABLE, "version string tables",
                 ", ".join(describe(t[0]) for t in tables) or "none",
                 "only \"%s\"" % STRING_TABLE)
    table = next((t for t in tables if t[0] == STRING_TABLE), None)
    if table is not None:
        keys = [c[0] for c in table[3]]
        expected_keys = [k for k, _ in VERSION_STRINGS]
        report.check(keys == expected_keys, "version string keys",
                     ", ".join(keys) if keys == expected_keys
                     else "%s; expected %s" % (", ".join(keys), ", ".join(expected_keys)))
        values = {c[0]: c[2] for c in table[3]}
        for k, expected in VERSION_STRINGS:
            value = values.get(k)
            report.check(value == expected, "version string " + k,
                         describe(value) if value == expected
                         else "%s, expected %s" % (describe(value) if value is not None
                                                  else "missing", describe(expected)))
    var_info = blocks.get("VarFileInfo")
    translation = None
    for var in (var_info[3] if var_info else []):
        if var[0] == "Translation":
            translation = var[2]
    expected = struct.pack("<HH", *TRANSLATION)
    if translation is None:
        report.check(False, "version translation", "missing")
    else:
        pairs = " ".join("0x%04X" % v for v in
                         struct.unpack("<%dH" % (len(translation) // 2), translation[:len(translation) // 2 * 2]))
        report.check(translation == expected, "version translation",
                     pairs if translation == expected
                     else "%s, expected 0x%04X 0x%04X" % ((pairs,) + TRANSLATION))


# ---- icon group -------------------------------------------------------------

def check_icons(report, resources):
    groups = [(name, lang, data) for t, name, lang, data in resources if t == RT_GROUP_ICON]
    mine = [g for g in groups if g[0] == ICON_GROUP]
    if not report.check(len(mine) == 1 and mine[0][1] == LANG_NEUTRAL, "icon group",
                        ", ".join("%s language %s" % (describe(n), l) for n, l, _ in groups)
                        or "none", "%s, language neutral" % ICON_GROUP):
        if not mine:
            return
    # The executable's own icon is its first icon group.
    report.check(groups[0][0] == ICON_GROUP, "icon group is the executable's icon",
                 "first group is %s" % describe(groups[0][0]))
    data = mine[0][2]
    if len(data) < 6:
        report.check(False, "icon group header", "%d bytes" % len(data))
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if not report.check(reserved == 0 and kind == 1 and len(data) >= 6 + 14 * count,
                        "icon group header", "type %d, %d images in %d bytes" % (kind, count, len(data))):
        return
    entries = [struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i) for i in range(count)]
    sizes = sorted(e[0] or 256 for e in entries)
    report.check(sizes == ICON_SIZES and all(e[0] == e[1] for e in entries), "icon group sizes",
                 ", ".join("%dx%d" % (e[0] or 256, e[1] or 256) for e in entries)
                 + ("" if sizes == ICON_SIZES else "; expected 16x16, 32x32, 48x48"))
    images = {name: (lang, data) for t, name, lang, data in resources if t == RT_ICON}
    for width, height, colours, _, planes, bits, size, icon_id in entries:
        what = "icon %dx%d" % (width or 256, height or 256)
        report.check(colours == 16 and planes == 1 and bits == 4, what + " group entry",
                     "%d colours, %d planes, %d bits per pixel%s" % (
                         colours, planes, bits,
                         "" if (colours, planes, bits) == (16, 1, 4) else "; expected 16, 1, 4"))
        image = images.get(icon_id)
        if image is None:
            report.check(False, what + " image", "RT_ICON %d missing" % icon_id)
            continue
        lang, pixels = image
        if pixels[:8] == b"\x89PNG\r\n\x1a\n":
            report.check(False, what + " image", "PNG, expected a 16-colour bitmap")
            continue
        if len(pixels) < 40:
            report.check(False, what + " image", "%d bytes" % len(pixels))
            continue
        (hsize, bw, bh, bplanes, bbits, compression, _, _, _, used, _) = \
            struct.unpack_from("<IiiHHIIiiII", pixels, 0)
        xor = ((bw * 4 + 31) // 32 * 4) * abs(bh // 2)
        mask = ((bw + 31) // 32 * 4) * abs(bh // 2)
        need = hsize + 4 * (used or 16) + xor + mask
        ok = (hsize == 40 and bw == width and bh == 2 * height and bplanes == 1 and bbits == 4
              and compression == 0 and used in (0, 16) and len(pixels) >= need
              and size == len(pixels) and lang == LANG_NEUTRAL)
        report.check(ok, what + " image",
                     "RT_ICON %d language %d, %d bytes (group says %d): header %d, %dx%d, "
                     "%d planes, %d bits per pixel, compression %d, %d palette entries%s" % (
                         icon_id, lang, len(pixels), size, hsize, bw, bh, bplanes, bbits,
                         compression, used or (1 << bbits if bbits <= 8 else 0),
                         "" if ok else "; expected a %dx%d 4-bit bitmap of at least %d bytes, "
                         "language neutral" % (width, height, need)))


# ---- manifest ---------------------------------------------------------------

def expected_manifest(arch):
    """Every element of the manifest as (path, attributes)."""
    v1 = lambda tag: "{%s}%s" % (ASM_V1, tag)
    v3 = lambda tag: "{%s}%s" % (ASM_V3, tag)
    return [
        ((v1("assembly"),), {"manifestVersion": "1.0"}),
        ((v1("assembly"), v1("assemblyIdentity")),
         {"name": "Tolvik.App", "processorArchitecture": arch, "version": "5.2.0.0",
          "type": "win32"}),
        ((v1("assembly"), v1("dependency")), {}),
        ((v1("assembly"), v1("dependency"), v1("dependentAssembly")), {}),
        ((v1("assembly"), v1("dependency"), v1("dependentAssembly"), v1("assemblyIdentity")),
         {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
          "processorArchitecture": arch, "publicKeyToken": COMMON_CONTROLS_TOKEN,
          "language": "*"}),
        ((v1("assembly"), v3("trustInfo")), {}),
        ((v1("assembly"), v3("trustInfo"), v3("security")), {}),
        ((v1("assembly"), v3("trustInfo"), v3("security"), v3("requestedPrivileges")), {}),
        ((v1("assembly"), v3("trustInfo"), v3("security"), v3("requestedPrivileges"),
          v3("requestedExecutionLevel")),
         {"level": "requireAdministrator", "uiAccess": "false"}),
    ]


MANIFEST_LABELS = {
    "assembly": "manifest root",
    "assemblyIdentity": "manifest assembly identity",
    "dependency": "manifest dependency",
    "dependentAssembly": "manifest dependent assembly",
    "trustInfo": "manifest trust info",
    "security": "manifest security",
    "requestedPrivileges": "manifest requested privileges",
    "requestedExecutionLevel": "manifest requested execution level",
}


def manifest_elements(root):
    out = []

    def walk(element, path):
        path = path + (element.tag,)
        out.append((path, dict(element.attrib), (element.text or "").strip()))
        for child in element:
            walk(child, path)

    walk(root, ())
    return out


def label(path):
    tag = path[-1].split("}")[-1]
    text = MANIFEST_LABELS.get(tag, "manifest element " + tag)
    if tag == "assemblyIdentity" and len(path) > 2:
        text = "manifest common controls dependency"
    return text


def check_manifest_text(report, text, arch):
    """Checks a manifest's bytes; also used on the manifest files themselves."""
    if text.startswith(b"\xef\xbb\xbf"):
        text = text[3:]
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        report.check(False, "manifest XML", str(e))
        return
    actual = manifest_elements(root)
    by_path = {}
    for path, attrs, body in actual:
        by_path.setdefault(path, []).append((attrs, body))
    expected = expected_manifest(arch)
    for path, attrs in expected:
        found = by_path.get(path, [])
        if len(found) != 1:
            report.check(False, label(path), "%d such elements (%s), expected one" % (
                len(found), "/".join(p.split("}")[-1] for p in path)))
            continue
        got, body = found[0]
        shown = ", ".join('%s="%s"' % kv for kv in got.items()) or "no attributes"
        ok = got == attrs and body == ""
        if ok:
            report.check(True, label(path), shown)
        else:
            wanted = ", ".join('%s="%s"' % kv for kv in attrs.items()) or "no attributes"
            report.check(False, label(path), "%s%s; expected %s" % (
                shown, ", text %r" % body if body else "", wanted))
    known = {path for path, _ in expected}
    extra = sorted({"/".join(p.split("}")[-1] + ("" if p.startswith("{%s}" % ASM_V1) else
                                                 " (%s)" % p[1:].split("}")[0]) for p in path)
                    for path, _, _ in actual if path not in known})
    report.check(not extra, "manifest has no other elements",
                 "none" if not extra else ", ".join(extra))


def check_manifest(report, resources, arch):
    found = [(name, lang, data) for t, name, lang, data in resources if t == RT_MANIFEST]
    where = ", ".join("id %s language %s" % (describe(n), l) for n, l, _ in found) or "none"
    if not report.check(len(found) == 1 and found[0][0] == 1 and found[0][1] == LANG_NEUTRAL,
                        "manifest resource", where, "exactly one, id 1, language neutral"):
        if not found:
            return
    check_manifest_text(report, found[0][2], arch)


# ---- the whole file ---------------------------------------------------------

def check_imports(report, pe):
    dlls = pe.imported_dlls()
    bad = []
    for dll in dlls:
        low = dll.lower()
        if low.startswith(RUNTIME_DLL_PREFIXES):
            bad.append("%s (a GCC run-time library: link it statically)" % dll)
        elif low not in SYSTEM_DLLS and not low.startswith(SYSTEM_DLL_PREFIXES):
            bad.append("%s (not a Windows system DLL)" % dll)
    report.check(bool(dlls) and not bad, "imported DLLs",
                 ", ".join(dlls) if dlls and not bad else "; ".join(bad) or "no import table")


def check_file(path, machine="i386", max_size=None, strict_size=False, out=sys.stdout):
    """Runs every check on one file; returns the exit status."""
    report = Report(out)
    try:
        with open(path, "rb") as f:
            data = f.read()
        pe = PEFile(data)
    except (OSError, PEError) as e:
        report.check(False, "PE file", "%s: %s" % (path, e))
        return 2
    want_machine, want_magic, arch = MACHINES[machine]
    report.check(pe.machine == want_machine, "machine", "%s (0x%04X)%s" % (
        MACHINE_NAMES.get(pe.machine, "unknown"), pe.machine,
        "" if pe.machine == want_machine else
        ", expected %s (0x%04X)" % (MACHINE_NAMES[want_machine], want_machine)))
    report.check(pe.magic == want_magic, "optional header",
                 "%s (0x%X)" % ("PE32+" if pe.magic == 0x20B else "PE32", pe.magic))
    is_exe = pe.characteristics & 0x0002 and not pe.characteristics & 0x2000
    report.check(bool(is_exe), "image kind",
                 "executable" if is_exe else "characteristics 0x%04X: not an executable"
                 % pe.characteristics)
    report.check(pe.subsystem == 2, "subsystem", "%s (%d)%s" % (
        SUBSYSTEM_NAMES.get(pe.subsystem, "other"), pe.subsystem,
        "" if pe.subsystem == 2 else ", expected Windows GUI (2)"))
    try:
        check_imports(report, pe)
    except PEError as e:
        report.check(False, "imported DLLs", "unreadable import table: %s" % e)
    try:
        resources = pe.resources()
    except PEError as e:
        report.check(False, "resources", "unreadable resource directory: %s" % e)
        resources = []
    for step in (check_version, check_icons):
        try:
            step(report, resources)
        except (PEError, struct.error) as e:
            report.check(False, step.__name__.replace("check_", "") + " resource",
                         "malformed: %s" % e)
    try:
        check_manifest(report, resources, arch)
    except (PEError, struct.error) as e:
        report.check(False, "manifest resource", "malformed: %s" % e)
    if max_size is not None:
        size = len(data)
        detail = "%d bytes, budget %d" % (size, max_size)
        if size <= max_size:
            report.check(True, "file size", detail)
        elif strict_size:
            report.check(False, "file size", detail + ", over by %d" % (size - max_size))
        else:
            report.warn("file size", detail + ", over by %d" % (size - max_size))
    out.write("%s: %d checks, %d failed\n" % (os.path.basename(path), report.count, report.failures))
    return 1 if report.failures else 0


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Checks the machine, subsystem, imports and resources of a "
                    "confession_card executable.")
    parser.add_argument("exe", help="the executable to check")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386",
                        help="expected machine; the manifest's architecture follows it "
                             "(i386: x86, amd64: amd64). Default: i386, the shipped program")
    parser.add_argument("--max-size", type=int, metavar="BYTES",
                        help="report the file size against this budget")
    parser.add_argument("--strict-size", action="store_true",
                        help="fail, rather than warn, when the file is over the budget")
    args = parser.parse_args(argv)
    if args.strict_size and args.max_size is None:
        parser.error("--strict-size needs --max-size")
    return check_file(args.exe, args.machine, args.max_size, args.strict_size)


if __name__ == "__main__":
    sys.exit(main())
