#!/usr/bin/env python3
"""The benchmarks of the tool against the floor, run by bench/run.sh.

The floor (bench/floor/floor.cpp) is the least program that does the tool's
work on this platform. Both run under Wine, one at a time, interleaved round
by round (the order alternates), each round measuring one run of each:

  start      the monotonic clock before the process is launched, to the
             time at which the card service records the welcome request
             (the service stamps each request with time.monotonic(), the
             same clock)
  click      the clock before the driver posts BM_CLICK to the button, to
             the time of the card request (the tool's boxes hold the name
             and code that the floor has built in); the driver's hop is in
             both figures alike
  memory     the peak working set (and peak commit) once the welcome card
             and the click are done
  handler    the UI thread's time in the click handler: a sent BM_CLICK
             minus a sent WM_NULL (the cross-process round trip alone),
             medians of both; the handler includes starting the worker
  idle       the CPU time the process uses in 10 s of sitting idle, after
             the start has settled

The size of the shipped 32-bit executable is read from the x86-release
build; a copy built with a link map in a scratch directory shows where its
bytes go, next to the floor built the same way.

Prints a Markdown table; --readme FILE puts it (and the size breakdown)
into the "## Benchmarks" section of FILE.

Expects the Wine session and the card service on 127.0.0.1:80 to be up (see
run.sh) and the programs to be built.
"""

import argparse
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, HERE)

import harness  # noqa: E402
import size_map  # noqa: E402

WELCOME_QUERY = "name=%E6%AC%A2%E8%BF%8E%E6%82%A8&type=5"
# The floor asks for this card; the tool is given the same name and code.
CARD_NAME = "小明"
CARD_TYPE = "3"
CARD_QUERY = "name=%E5%B0%8F%E6%98%8E&type=3"

VK_END, VK_BACK = 0x23, 0x08

SIZE_GOAL = 150 * 1024
RATIO_GOAL = 1.10
# GetProcessTimes counts in clock ticks here: one tick is the least CPU time
# that can show at all.
CPU_TICK_MS = 10.0


def log(text):
    sys.stderr.write("bench: %s\n" % text)
    sys.stderr.flush()


# ---------------------------------------------------------------------------
# The card service's records


def card_records():
    with urllib.request.urlopen(harness.SERVICE_URL + "/__requests?path=/app/index.php", timeout=10) as answer:
        return json.loads(answer.read().decode("ascii"))


def request_time(query, after, timeout=10.0):
    """The service's time of the first request for the page with the given
    query that arrived after the given time; None if none comes."""
    def find():
        for record in card_records():
            if record["time"] >= after and record["query"].upper().endswith(query.upper()):
                return record["time"]
        return None
    return harness.wait_for(find, timeout=timeout, interval=0.1)


# ---------------------------------------------------------------------------
# One run of a program


class Program:
    def __init__(self, name, exe, is_tool):
        self.name = name
        self.exe = exe
        self.is_tool = is_tool


class Session:
    """One process of a program, driven from outside."""

    def __init__(self, driver, program):
        self.driver = driver
        self.program = program
        self.process = None
        self.window = None

    def launch(self):
        self.launched = time.monotonic()
        self.process = harness.Tool(self.program.exe)

    def find_window(self, timeout_ms=30000):
        self.window = self.driver("main", 0, timeout_ms)
        if not self.window:
            raise RuntimeError("%s: the main window did not appear" % self.program.name)
        self.pid, self.hwnd = self.window["pid"], self.window["hwnd"]
        self.children = self.driver.children(self.hwnd)
        self.button = next(c["hwnd"] for c in self.children if c["class"] == b"Button")

    def fill_boxes(self):
        """The tool's boxes: the floor's name and code, typed as a user does."""
        edits = [c["hwnd"] for c in self.children if c["class"] == b"Edit"]
        type_box, name_box = edits[0], edits[1]
        for hwnd, value in ((name_box, CARD_NAME.encode("gbk")), (type_box, CARD_TYPE.encode("ascii"))):
            for _ in range(len(self.driver.text(hwnd))):
                self.driver("key", hwnd, VK_END)
                self.driver("char", hwnd, VK_BACK)
            self.driver.type_text(hwnd, value)
            if not harness.wait_for(lambda: self.driver.text(hwnd) == value, timeout=10):
                raise RuntimeError("the tool's box did not take the text")

    def dismiss_boxes(self, expected, timeout=10):
        """Waits for the tool's message boxes and presses their OK buttons."""
        if not self.program.is_tool:
            return
        boxes = harness.wait_for(lambda: (lambda b: b if len(b) >= expected else None)(self.driver.boxes(self.pid)),
                                 timeout=timeout)
        for box in boxes or []:
            self.driver("dismiss", box["hwnd"])
        harness.wait_for(lambda: not self.driver.boxes(self.pid), timeout=timeout)

    def cpu_ms(self):
        times = self.driver("times", self.pid)
        return (times["kernel"] + times["user"]) / 10000.0

    def close(self):
        if self.window is not None:
            self.driver("close", self.hwnd)
        if self.process is not None:
            if self.process.wait(15) is None:
                log("%s did not end on WM_CLOSE; killed" % self.program.name)
                self.process.kill()


def measure(driver, program, args):
    """One run of a program: every figure of it, in a dictionary."""
    figures = {}
    session = Session(driver, program)
    try:
        session.launch()
        # Nothing else runs while the program starts: the records are read
        # once it has settled.
        time.sleep(args.settle)
        session.find_window()
        welcome = request_time(WELCOME_QUERY, session.launched)
        if welcome is None:
            raise RuntimeError("%s: no welcome request" % program.name)
        figures["start_ms"] = (welcome - session.launched) * 1000.0

        before = session.cpu_ms()
        time.sleep(args.idle)
        figures["idle_cpu_ms"] = session.cpu_ms() - before

        if program.is_tool:
            session.fill_boxes()
        time.sleep(0.3)
        pressed = time.monotonic()
        driver("click", session.button)
        card = request_time(CARD_QUERY, pressed)
        if card is None:
            raise RuntimeError("%s: no card request after the click" % program.name)
        figures["click_ms"] = (card - pressed) * 1000.0
        session.dismiss_boxes(1)

        memory = driver("memory", session.pid)
        figures["peak_working_set"] = memory["peak_working_set"]
        figures["peak_commit"] = memory["peak_commit"]

        sent_null, sent_click = [], []
        for _ in range(args.handler_samples):
            time.sleep(0.2)
            sent_null.append(driver("sendnull", session.button))
            sent_click.append(driver("sendclick", session.button))
            session.dismiss_boxes(1)
            if not program.is_tool:
                time.sleep(0.2)  # the worker's navigation
        figures["sendnull_us"] = sent_null
        figures["sendclick_us"] = sent_click
    finally:
        session.close()
    return figures


def warm_up(driver, program):
    """A first run that fills the caches; nothing of it is kept."""
    session = Session(driver, program)
    try:
        session.launch()
        session.find_window()
        request_time(WELCOME_QUERY, session.launched)
    finally:
        session.close()


# ---------------------------------------------------------------------------
# Size


def build_size_breakdown(args):
    """Builds the tool and the floor with the x86-release preset's settings
    and a link map, in a scratch directory made afresh (a configured tree
    would keep the compiler it first found)."""
    scratch = args.map_build_dir
    shutil.rmtree(scratch, ignore_errors=True)
    subprocess.run(
        ["cmake", "--preset", "x86-release", "-B", scratch, "-DCONFESSION_CARD_TESTS=ON",
         "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-Map=link.map"],
        cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", scratch, "-j2", "--target", "confession_card", "bench_floor"], check=True,
                   stdout=subprocess.DEVNULL)
    tool_exe = os.path.join(scratch, "app", "confession_card.exe")
    floor_exe = os.path.join(scratch, "bench", "floor", "floor.exe")
    with open(os.path.join(scratch, "app", "link.map"), encoding="utf-8", errors="replace") as f:
        tool_map = f.read()
    with open(os.path.join(scratch, "bench", "floor", "link.map"), encoding="utf-8", errors="replace") as f:
        floor_map = f.read()
    return {
        "tool_size": os.path.getsize(tool_exe),
        "floor_size": os.path.getsize(floor_exe),
        "tool_report": size_map.report(tool_map, os.path.getsize(tool_exe)),
        "floor_report": size_map.report(floor_map, os.path.getsize(floor_exe), top=5),
    }


def imports_of(exe):
    """check_pe.py's verdict on the imports: (ok, the DLLs)."""
    result = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "tools", "check_pe.py"), exe,
                             "--machine", "i386"], stdout=subprocess.PIPE, text=True)
    for line in result.stdout.splitlines():
        if "imported DLLs:" in line:
            return line.startswith("ok"), line.split("imported DLLs:", 1)[1].strip()
    return False, "(not read)"


# ---------------------------------------------------------------------------
# The table


def median(values):
    return statistics.median(values) if values else float("nan")


def verdict(ok):
    return "met" if ok else "**missed**"


def make_table(results, size, args):
    tool, floor = results["tool"], results["floor"]

    def med(side, key):
        return median([run[key] for run in side])

    def handler(side):
        nulls = [v for run in side for v in run["sendnull_us"]]
        clicks = [v for run in side for v in run["sendclick_us"]]
        return median(clicks) - median(nulls), median(nulls)

    rows = []
    for label, key, unit, scale in (
            ("Start of the process to the welcome request", "start_ms", "ms", 1.0),
            ("\"生成\" pressed to the card request", "click_ms", "ms", 1.0),
            ("Peak memory (peak working set)", "peak_working_set", "MB", 1.0 / 1048576)):
        t, f = med(tool, key) * scale, med(floor, key) * scale
        ratio = t / f
        rows.append((label, "%.1f %s" % (t, unit), "%.1f %s" % (f, unit), "%.2f" % ratio,
                     "tool/floor ≤ %.2f" % RATIO_GOAL, verdict(ratio <= RATIO_GOAL)))
    t, f = med(tool, "peak_commit") / 1048576, med(floor, "peak_commit") / 1048576
    rows.append(("Peak commit (for information)", "%.1f MB" % t, "%.1f MB" % f, "%.2f" % (t / f), "", ""))
    (th, tn), (fh, fn) = handler(tool), handler(floor)
    rows.append(("UI thread in the click handler (sent BM_CLICK − sent WM_NULL; includes starting the worker)",
                 "%.0f µs" % th, "%.0f µs" % fh, "", "returns at once", "reported"))
    t, f = med(tool, "idle_cpu_ms"), med(floor, "idle_cpu_ms")
    rows.append(("CPU used in %g s idle" % args.idle, "%.0f ms" % t, "%.0f ms" % f, "",
                 "nothing of its own (≤ floor + %g ms, one tick)" % CPU_TICK_MS, verdict(t <= f + CPU_TICK_MS)))
    rows.append(("Size of the shipped 32-bit executable", "%d B (%.1f KB)" % (size["shipped"], size["shipped"] / 1024),
                 "%d B (%.1f KB)" % (size["floor_size"], size["floor_size"] / 1024), "",
                 "≤ 150 KB", verdict(size["shipped"] <= SIZE_GOAL)))
    rows.append(("Imported DLLs of the shipped executable (static link)", size["imports"], "", "",
                 "system DLLs only", verdict(size["imports_ok"])))

    today = datetime.date.today().isoformat()
    lines = [
        "Measured on %s on a machine with %d cores (`nproc`), %s; %d runs of each program, medians, tool and floor "
        "interleaved in the same run. The time and memory figures are those of the 64-bit test build under Wine "
        "(the 32-bit executable cannot run on this machine's Wine); the size is that of the shipped 32-bit build, "
        "the floor's beside it built the same way." % (today, args.cores, args.wine_version, args.runs),
        "",
        "| Figure | Tool | Floor | Tool/floor | Goal | Result |",
        "|---|---:|---:|---:|---|---|",
    ]
    for row in rows:
        lines.append("| " + " | ".join(row) + " |")
    lines.append("")
    lines.append("A sent WM_NULL (the round trip alone) took %.0f µs to the tool and %.0f µs to the floor." % (tn, fn))
    return "\n".join(lines)


BEGIN, END = "<!-- benchmark table: begin -->", "<!-- benchmark table: end -->"
SIZE_BEGIN, SIZE_END = "<!-- benchmark size: begin -->", "<!-- benchmark size: end -->"
SECTION_TEMPLATE = """## Benchmarks

`bench/run.sh` is the benchmark command. It builds both presets, starts a Wine
session and a local card service of its own, runs the tool and the floor
(`bench/floor/floor.cpp`, the least program that does the tool's work on this
platform) side by side and prints the table below; `bench/run.sh --readme
README.md` also writes it here. `--runs N` sets the runs of each program
(default 7).

%s
%s

### Where the cost goes

Where the bytes of the shipped executable go, from a link map:

%s
%s
""" % (BEGIN, END, SIZE_BEGIN, SIZE_END)


def replace_between(text, begin, end, content):
    start, stop = text.index(begin) + len(begin), text.index(end)
    return text[:start] + "\n" + content.strip("\n") + "\n" + text[stop:]


def write_readme(path, table, size_text):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if "\n## Benchmarks\n" not in "\n" + text:
        text = text.rstrip("\n") + "\n\n" + SECTION_TEMPLATE
    if BEGIN not in text or SIZE_BEGIN not in text:
        raise SystemExit("bench: the Benchmarks section of %s has lost its markers" % path)
    text = replace_between(text, BEGIN, END, table)
    text = replace_between(text, SIZE_BEGIN, SIZE_END, size_text)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# ---------------------------------------------------------------------------


def main(argv=None):
    parser = argparse.ArgumentParser(description="Benchmarks of the tool against the floor.")
    parser.add_argument("--runs", type=int, default=7, help="runs of each program (default 7)")
    parser.add_argument("--idle", type=float, default=10.0, help="seconds of idle CPU measurement (default 10)")
    parser.add_argument("--settle", type=float, default=3.0, help="seconds for the start to settle (default 3)")
    parser.add_argument("--handler-samples", type=int, default=5, help="sent clicks per run (default 5)")
    parser.add_argument("--tool", default=os.path.join(ROOT, "build/x64-test/app/confession_card.exe"))
    parser.add_argument("--floor", default=os.path.join(ROOT, "build/x64-test/bench/floor/floor.exe"))
    parser.add_argument("--driver", default=os.path.join(ROOT, "build/x64-test/tests/e2e/e2e_driver.exe"))
    parser.add_argument("--shipped", default=os.path.join(ROOT, "build/x86-release/app/confession_card.exe"))
    parser.add_argument("--map-build-dir", default=os.path.join(ROOT, "build/bench-x86-map"))
    parser.add_argument("--readme", metavar="FILE", help="write the table into the Benchmarks section of FILE")
    args = parser.parse_args(argv)
    args.cores = os.cpu_count() or 0
    try:
        args.cores = int(subprocess.run(["nproc"], stdout=subprocess.PIPE, text=True, check=True).stdout)
    except (OSError, ValueError, subprocess.CalledProcessError):
        pass
    loader = os.environ.get("WINELOADER", "wine")
    args.wine_version = subprocess.run([loader, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                       text=True).stdout.strip() or "Wine"

    log("size: link maps of the 32-bit tool and floor")
    size = build_size_breakdown(args)
    size["shipped"] = os.path.getsize(args.shipped)
    size["imports_ok"], size["imports"] = imports_of(args.shipped)
    if size["tool_size"] != size["shipped"]:
        log("note: the build with a link map is %d bytes, the shipped one %d" % (size["tool_size"], size["shipped"]))

    harness.DRIVER_EXE = args.driver
    driver = harness.Driver()
    programs = [Program("tool", args.tool, True), Program("floor", args.floor, False)]
    results = {"tool": [], "floor": []}
    try:
        for program in programs:
            log("warm-up: %s" % program.name)
            warm_up(driver, program)
        for round_number in range(args.runs):
            order = programs if round_number % 2 == 0 else programs[::-1]
            for program in order:
                for attempt in range(3):
                    try:
                        figures = measure(driver, program, args)
                        break
                    except (RuntimeError, StopIteration, TypeError) as error:
                        log("round %d, %s: %s; again" % (round_number + 1, program.name, error))
                else:
                    raise SystemExit("bench: %s failed three times in a row" % program.name)
                results[program.name].append(figures)
                log("round %d/%d %s: start %.0f ms, click %.1f ms, peak %.1f MB, idle %.0f ms" % (
                    round_number + 1, args.runs, program.name, figures["start_ms"], figures["click_ms"],
                    figures["peak_working_set"] / 1048576, figures["idle_cpu_ms"]))
    finally:
        driver.close()

    table = make_table(results, size, args)
    size_text = "The shipped tool, built again with `-Wl,-Map`:\n\n%s\n\nThe floor, built the same way:\n\n%s" % (
        size["tool_report"], size["floor_report"])
    print(table)
    print()
    print(size_text)
    if args.readme:
        write_readme(args.readme, table, size_text)
        log("wrote the table into %s" % args.readme)
    return 0


if __name__ == "__main__":
    sys.exit(main())
