#!/usr/bin/env python3
"""Where the bytes of an executable come from, read from the GNU linker's map.

usage: size_map.py MAP_FILE [--exe EXE] [--top N]

Adds up the input sections that the linker kept in each section of the image
(.text, .eh_frame, .rdata, ...) by where they came from: the project's own
objects, the parts of the C++ run-time library, the GCC support library's
unwinder, the POSIX threads library, the MinGW C run-time, the import tables
and the resources. For each group it names the first reference from outside
the group that pulled it into the link. Prints Markdown tables.

Also usable as a module: report(map_text, exe_size) gives the same text.
"""

import argparse
import collections
import os
import re
import sys

# The sections that take room in the file (.bss does not).
IMAGE_SECTIONS = (".text", ".rdata", ".eh_frame", ".data", ".idata", ".rsrc", ".reloc", ".CRT", ".tls")
SHOWN_SECTIONS = (".text", ".eh_frame", ".rdata")

OUTPUT_HEADER = re.compile(r"^(\.[A-Za-z_$.]+)\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+)")
INPUT_ONE_LINE = re.compile(r"^ (\S+)\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
INPUT_NAME_ONLY = re.compile(r"^ (\.\S+)$")
INPUT_CONTINUED = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
ARCHIVE_MEMBER = re.compile(r"^(.*?)\(([^()]+)\)$")
REFERENCE = re.compile(r"^\s+(\S+)\s+\((.*)\)\s*$")

MAP_HEADING = "Linker script and memory map"
MEMBERS_HEADING = "Archive member included to satisfy reference by file (symbol)"

# Parts of the C++ run-time library, by the name of the archive member.
LIBSTDCXX_PARTS = (
    ("libstdc++: demangler of the verbose terminate handler", ("cp-demangle.o", "vterminate.o")),
    ("libstdc++: std::string and std::wstring", ("string-inst.o", "wstring-inst.o")),
    ("libstdc++: std::__throw_* and the exception classes",
     ("functexcept.o", "functional.o", "cow-stdexcept.o", "cow-string-inst.o", "random.o", "sso_string.o",
      "stdexcept.o", "snprintf_lite.o", "bad_", "system_error.o", "cxx11-ios_failure.o", "ios_failure.o")),
    ("libstdc++: exception handling, RTTI, new and delete",
     ("eh_", "tinfo", "class_type_info.o", "si_class_type_info.o", "vmi_class_type_info.o", "pointer_type_info.o",
      "pbase_type_info.o", "fundamental_type_info.o", "function_type_info.o", "array_type_info.o",
      "enum_type_info.o", "pmem_type_info.o", "dyncast.o", "guard.o", "pure.o", "new_", "del_", "atexit_thread.o")),
)
# Members of libmingwex that implement the C99 printf family and its
# floating-point conversions.
MINGW_PRINTF = ("mingw_pformat", "mingw_vsnprintf", "mingw_vsprintf", "mingw_snprintf", "mingw_sprintf", "gdtoa",
                "dmisc", "gmisc", "_misc.o", "g_dfmt", "g_ffmt", "g_xfmt", "strtodg", "ulp", "smisc", "hexnan",
                "gethex", "strtopx")
IMPORT_LIBRARY_MEMBER = re.compile(r"(s\d+\.o|_iname|_head_|h\.o)$")


def split_origin(origin):
    match = ARCHIVE_MEMBER.match(origin)
    return (match.group(1), match.group(2)) if match else (origin, "")


def short_name(origin):
    archive, member = split_origin(origin)
    return os.path.basename(archive) + ("(" + member + ")" if member else "")


def group_of(origin, section=""):
    """The group that an input file (or archive member) belongs to."""
    if section == ".reloc":
        return "base relocations (made by the linker)"
    archive, member = split_origin(origin)
    base = os.path.basename(archive)
    if base == "dll stuff" or (base.endswith(".a") and IMPORT_LIBRARY_MEMBER.search(member)):
        return "import tables of the system DLLs"
    if base.endswith(".res") or member.endswith(".res"):
        return "resources (icon, version, manifest)"
    if not archive.startswith("/"):
        return "our code"
    if base == "libstdc++.a":
        for name, prefixes in LIBSTDCXX_PARTS:
            if any(member.startswith(p) for p in prefixes):
                return name
        return "libstdc++: other"
    if base == "libgcc_eh.a":
        return "libgcc: DWARF unwinder and emulated TLS"
    if base == "libgcc.a":
        return "libgcc: other"
    if base in ("libpthread.a", "libwinpthread.a"):
        return "winpthread"
    if base == "libmingwex.a" and any(p in member for p in MINGW_PRINTF):
        return "MinGW C run-time: printf and number formatting"
    if base in ("libmingw32.a", "libmingwex.a", "libmoldname.a", "libmsvcrt.a") or base.startswith("crt"):
        return "MinGW C run-time: start-up and the rest"
    if base == "libuuid.a":
        return "GUIDs (libuuid)"
    if base.startswith("lib") and base.endswith(".a"):
        return "import tables of the system DLLs"
    return "other: " + base


def parse(map_text):
    """Yields (output section, input section, size, origin) for every input
    section kept in a section of the image."""
    body = map_text.split(MAP_HEADING, 1)[-1]
    output = None
    pending = None
    for line in body.splitlines():
        header = OUTPUT_HEADER.match(line)
        if header:
            output, pending = header.group(1), None
            continue
        if line and not line.startswith(" "):
            output, pending = (line.split()[0] if line.startswith(".") else None), None
            continue
        if output not in IMAGE_SECTIONS:
            continue
        one = INPUT_ONE_LINE.match(line)
        if one:
            size, origin = int(one.group(3), 16), one.group(4).strip()
            if size and not origin.startswith("0x"):
                yield output, one.group(1), size, origin
            pending = None
            continue
        name_only = INPUT_NAME_ONLY.match(line)
        if name_only:
            pending = name_only.group(1)
            continue
        continued = INPUT_CONTINUED.match(line)
        if continued and pending is not None:
            size = int(continued.group(2), 16)
            if size:
                yield output, pending, size, continued.group(3).strip()
            pending = None


def inclusions(map_text):
    """Archive member -> (the file that referred to it, the symbol)."""
    head = map_text.split(MAP_HEADING, 1)[0]
    if MEMBERS_HEADING not in head:
        return {}
    lines = head.split(MEMBERS_HEADING, 1)[1].splitlines()
    found = {}
    member = None
    for line in lines:
        if line.startswith("/") or (line and not line[0].isspace() and "(" in line):
            member = line.strip()
            continue
        ref = REFERENCE.match(line)
        if ref and member is not None:
            found[member] = (ref.group(1), ref.group(2))
            member = None
        elif line and not line[0].isspace():
            break
    return found


def attribute(map_text):
    """(bytes per group per section, bytes per object, how each group came in)."""
    groups = collections.defaultdict(collections.Counter)
    objects = collections.Counter()
    for output, _, size, origin in parse(map_text):
        group = group_of(origin, output)
        groups[group][output] += size
        objects[(group, short_name(origin))] += size
    reasons = collections.defaultdict(list)
    for member, (referrer, symbol) in inclusions(map_text).items():
        group = group_of(member)
        if group_of(referrer) != group and len(reasons[group]) < 2:
            reasons[group].append("%s (`%s`)" % (short_name(referrer), short_symbol(symbol)))
    return groups, objects, reasons


def short_symbol(symbol):
    """A symbol without its template arguments and parameter types."""
    out, depth = [], 0
    for char in symbol:
        if char in "<(":
            if depth == 0:
                out.append(char + "…")
            depth += 1
        elif char in ">)":
            depth -= 1
            if depth == 0:
                out.append(char)
        elif depth == 0:
            out.append(char)
    return "".join(out).replace("(…)", "()").replace("<…>", "<>")


def kb(n):
    return "%.1f" % (n / 1024.0)


def report(map_text, exe_size=None, top=10):
    """The Markdown tables, as text."""
    groups, objects, reasons = attribute(map_text)
    lines = ["| Comes from | " + " | ".join("`%s` KB" % s for s in SHOWN_SECTIONS) +
             " | other KB | total KB | first pulled in by |",
             "|---|" + "---:|" * (len(SHOWN_SECTIONS) + 2) + "---|"]
    all_counts = collections.Counter()
    for group in sorted(groups, key=lambda g: -sum(groups[g].values())):
        counts = groups[group]
        all_counts.update(counts)
        other = sum(v for k, v in counts.items() if k not in SHOWN_SECTIONS)
        lines.append("| %s | %s | %s | %s | %s |" % (
            group, " | ".join(kb(counts[s]) for s in SHOWN_SECTIONS), kb(other), kb(sum(counts.values())),
            "; ".join(reasons.get(group, [])).replace("|", "\\|")))
    total = sum(all_counts.values())
    other = sum(v for k, v in all_counts.items() if k not in SHOWN_SECTIONS)
    lines.append("| **kept input sections** | %s | %s | %s | |" % (
        " | ".join(kb(all_counts[s]) for s in SHOWN_SECTIONS), kb(other), kb(total)))
    if exe_size is not None:
        lines.append("| headers and section alignment | | | | | %s | |" % kb(exe_size - total))
        lines.append("| **file** | | | | | %s | |" % kb(exe_size))
    lines += ["", "| Largest objects | group | KB |", "|---|---|---:|"]
    for (group, name), size in objects.most_common(top):
        lines.append("| `%s` | %s | %s |" % (name, group, kb(size)))
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("map", help="the linker's map file (-Wl,-Map=FILE)")
    parser.add_argument("--exe", help="the executable the map belongs to, for the file's own size")
    parser.add_argument("--top", type=int, default=10, help="how many of the largest objects to list")
    args = parser.parse_args(argv)
    with open(args.map, encoding="utf-8", errors="replace") as f:
        text = f.read()
    print(report(text, os.path.getsize(args.exe) if args.exe else None, args.top))
    return 0


if __name__ == "__main__":
    sys.exit(main())
