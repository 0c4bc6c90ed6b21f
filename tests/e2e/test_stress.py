"""Stress and hostile input: a burst of clicks, many generations in a row,
many repaints, closing with many boxes open, and names and type texts far
longer than anyone types, with every byte value and broken code-page-936
sequences among them.

Object counts: GetGuiResources (the driver's "resources") answers 0 and 0
under Wine, so the counts are also taken from outside with the driver's
"objects": the used entries of the tool's GDI handle table by kind, the
windows it owns and its threads."""

import time
import unittest

from harness import *  # noqa: F401,F403
from harness import CardService, ToolTestCase, card_target, gbk, utf8_escapes, wait_for

SUCCESS = gbk("已生成完毕,右键点击（图片另存为）即可保存哦\r\n如果没有成功请多生成几次！")
CAPTION = gbk("信息：")

LONG = 30000
BURST = 200
IN_A_ROW = 200
REPAINTS = 1000
OPEN_AT_CLOSE = 50

VALID_TRAILS = frozenset(range(0x40, 0x7F)) | frozenset(range(0x80, 0xFF))

# Kinds of GDI object (the type byte of a handle table entry) that the
# platform's cache of device contexts keeps: a device context with its region
# and its bitmap, always in equal numbers. The cache grows with the number of
# windows painted at the same time and never shrinks; a program of a few lines
# that shows 200 message boxes from 200 threads at once keeps 194 of each
# afterwards. After a burst these kinds say nothing about the tool: the
# generations one after another check them without that noise.
DC_CACHE_KINDS = frozenset({"1", "4", "5"})


# How this platform's code page 936 reads bytes, as measured under Wine by
# converting every single byte and every lead byte with every trail byte:
# - a byte below 0x80 stands for itself, 0x80 is the euro sign and 0xFF is
#   U+F8F5, a character of the Private Use Area;
# - a lead byte (0x81 to 0xFE) always takes the byte behind it as its trail.
#   Every pair that Python's GBK codec knows gives the same character there;
#   a pair whose trail is outside 0x40-0x7E and 0x80-0xFE gives one "?" for
#   both bytes, and a lead byte with nothing behind it gives "?" as well;
# - the pairs of the user-defined areas are characters of the Private Use
#   Area that Python's codec does not know: the tests do not use them.
def read_936(data):
    chars = []
    i = 0
    while i < len(data):
        byte = data[i]
        if byte < 0x80:
            chars.append(chr(byte))
        elif byte == 0x80:
            chars.append("\u20ac")
        elif byte == 0xFF:
            chars.append("\uf8f5")
        elif i + 1 == len(data):
            chars.append("?")
        else:
            i += 1
            if data[i] in VALID_TRAILS:
                chars.append(bytes([byte, data[i]]).decode("gbk"))  # raises for the user-defined areas
            else:
                chars.append("?")
        i += 1
    return "".join(chars)


def write_936(text):
    """The bytes of a text in code page 936, the inverse of read_936."""
    special = {"\u20ac": b"\x80", "\uf8f5": b"\xff"}
    return b"".join(special.get(char) or char.encode("gbk") for char in text)


def pasted_into_box(clipboard):
    """What a single-line box holds after the clipboard's bytes are pasted
    into it, as measured: the clipboard's text is read in code page 936, and
    the box takes it up to its first line break, "\\r\\n" or "\\n" (a lone
    "\\r" stays). The box's text is then read back in code page 936."""
    text = read_936(clipboard)
    cut = text.find("\n")
    if cut >= 0:
        text = text[:cut - 1] if cut > 0 and text[cut - 1] == "\r" else text[:cut]
    return write_936(text)


def name_escapes(box_bytes):
    """What the encoding rules make of the name box's bytes: code page 936 to
    UTF-8, every byte as %XX."""
    return utf8_escapes(read_936(box_bytes))


def _known_pair(lead, trail):
    try:
        char = bytes([lead, trail]).decode("gbk")
    except UnicodeDecodeError:
        return False
    return not 0xE000 <= ord(char) <= 0xF8FF


def chinese_characters(count):
    """count characters spread over the CJK Unified Ideographs that GBK has
    (U+4E00 to U+9FA5), each 7,919 positions on from the one before."""
    return "".join(chr(0x4E00 + (i * 7919) % 20902) for i in range(count))


def printable_ascii(count):
    return bytes(0x20 + i % 95 for i in range(count))


def every_byte_valid():
    """Every byte value from 0x01 to 0xFF in sequences that code page 936
    reads as characters: the single bytes 0x01 to 0x80 and 0xFF, every trail
    byte behind the lead byte 0x81 (which takes them all) and every other lead
    byte with a trail byte. The line break comes last, as a single-line box
    takes a paste only up to its first line break."""
    singles = bytes(b for b in range(0x01, 0x81) if b != 0x0A) + b"\xff"
    pairs = [bytes([0x81, trail]) for trail in sorted(VALID_TRAILS)]
    for lead in range(0x82, 0xFF):
        trail = next(t for t in sorted(VALID_TRAILS) if _known_pair(lead, t))
        pairs.append(bytes([lead, trail]))
    return singles + b"".join(pairs) + b"\n"


def broken_sequences():
    """Every lead byte followed by a byte that is no trail byte (control
    characters, digits, punctuation, 0x7F, 0xFF), with "A" and 0x80 between
    some of them; a lead byte in front of a whole pair, which takes the pair's
    lead byte as its trail; and a lead byte alone at the end."""
    bad_trails = [b for b in range(0x01, 0x40) if b not in (0x0A, 0x0D)] + [0x7F, 0xFF]
    pieces = []
    for i, lead in enumerate(range(0x81, 0xFF)):
        pieces.append(bytes([lead, bad_trails[i % len(bad_trails)]]))
        if i % 16 == 0:
            pieces.append(b"A\x80")
    pieces.append(b"\x81\xb0\xa1\x30Z")  # 81 B0 is a character, A1 30 is broken
    pieces.append(b"\x81")
    return b"".join(pieces)


# Type-text characters that a URL carries as they are. Wine escapes the space
# and " < > \ ^ ` { | } as it sends the request, "#" begins the fragment, and
# "%" begins an escape (a broken one, as in the type text "1%2", makes Wine
# drop the navigation: no request is sent at all).
URL_SAFE_TYPE_CHARACTERS = bytes(b for b in range(0x21, 0x7F) if chr(b) not in '"#%<>\\^`{|}')


class StressTest(ToolTestCase):
    def setUp(self):
        super().setUp()
        CardService.reset()
        self.start()
        self.addCleanup(self.tool.kill)  # also when the rest of setUp fails
        self.assertEqual(len(self.wait_card_targets(1)), 1, "the welcome request did not come")
        CardService.reset()

    # -- object counts --------------------------------------------------------

    def objects(self):
        found = self.driver("objects", self.pid)
        self.assertIsNotNone(found, "the tool's process is gone")
        self.assertIsNotNone(found["gdi"], "the tool's GDI handle table cannot be read")
        found["resources"] = self.driver("resources", self.pid)
        return found

    def settled_objects(self, steady=1.5, timeout=30):
        """The object counts once they have stayed the same for a while."""
        last, since = self.objects(), time.monotonic()
        deadline = since + timeout
        while time.monotonic() < deadline:
            time.sleep(0.2)
            now = self.objects()
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= steady:
                return last
        self.fail("the object counts did not settle: %r" % last)

    @staticmethod
    def excess(now, baseline, skip_kinds=frozenset()):
        """What is above the baseline: windows, threads, GDI objects by kind
        and, where the platform counts them at all, GetGuiResources' GDI and
        USER objects. Empty when nothing is."""
        above = {}
        for key in ("windows", "threads"):
            if now[key] > baseline[key]:
                above[key] = (baseline[key], now[key])
        for kind, count in now["gdi_types"].items():
            if kind not in skip_kinds and count > baseline["gdi_types"].get(kind, 0):
                above["gdi kind " + kind] = (baseline["gdi_types"].get(kind, 0), count)
        if not skip_kinds and now["gdi"] > baseline["gdi"]:
            above["gdi"] = (baseline["gdi"], now["gdi"])
        for key in ("gdi", "user"):
            if now["resources"][key] > baseline["resources"][key]:
                above["GetGuiResources " + key] = (baseline["resources"][key], now["resources"][key])
        return above

    def assert_objects_back(self, baseline, skip_kinds=frozenset(), timeout=30):
        """The counts come back to the baseline or below; threads end and
        windows go a little after their boxes, so they are given time."""
        found = wait_for(lambda: (lambda now: (now,) if not self.excess(now, baseline, skip_kinds) else None)(
            self.objects()), timeout, interval=0.25)
        if found is None:
            self.fail("object counts above the baseline (before, now): %r" % self.excess(self.objects(), baseline,
                                                                                         skip_kinds))
        return found[0]

    # -- input ------------------------------------------------------------------

    def clear(self, hwnd):
        for _ in range(len(self.driver.text(hwnd))):
            self.driver("key", hwnd, 0x23)  # End
            self.driver("char", hwnd, 0x08)
        self.assertIsNotNone(wait_for(lambda: self.driver.text(hwnd) == b""), "box not cleared")

    def paste(self, hwnd, data):
        """Pastes data into the emptied box with Ctrl+V, as a user would; the
        box's text once the paste is done."""
        self.clear(hwnd)
        self.assertTrue(self.driver("paste", hwnd, data.hex()), "the clipboard refused the text")
        self.assertIsNotNone(wait_for(lambda: self.driver.text(hwnd), timeout=20), "nothing was pasted")
        text = self.driver.text(hwnd)
        while True:  # a long paste may still be on its way
            self.driver("sleep", 200)
            again = self.driver.text(hwnd)
            if again == text:
                return text
            text = again

    def click_and_check(self, expected, timeout=30):
        """One click: one success box, then exactly the expected request."""
        self.driver("click", self.button)
        boxes = self.wait_boxes(1, timeout=timeout)
        self.assertEqual((boxes[0]["caption"], boxes[0]["text"]), (CAPTION, SUCCESS))
        targets = self.wait_card_targets(1, timeout=timeout)
        self.driver("sleep", 300)
        targets = CardService.card_targets()
        self.assertEqual(len(targets), 1, "one click, one request")
        if targets[0] != expected:
            self.fail(self.target_difference(targets[0], expected))
        self.driver("dismiss", boxes[0]["hwnd"])
        self.wait_boxes(0)
        self.assertIsNone(self.tool.wait(0), "the tool ended")

    @staticmethod
    def target_difference(actual, expected):
        at = next((i for i, (a, e) in enumerate(zip(actual, expected)) if a != e), min(len(actual), len(expected)))
        return "the request differs at %d (lengths %d, expected %d): %r instead of %r" % (
            at, len(actual), len(expected), actual[at:at + 60], expected[at:at + 60])

    def generate_once(self):
        """A click whose box is dismissed. Before a baseline is taken, one
        such click lets the platform set up what every later message box of
        the process shares (two more GDI objects of kind 9 under Wine)."""
        self.driver("click", self.button)
        box = self.wait_boxes(1)[0]
        self.driver("dismiss", box["hwnd"])
        self.wait_boxes(0)

    def dismiss_all(self, boxes, timeout=60):
        for box in boxes:
            self.driver("dismiss", box["hwnd"])
        self.wait_boxes(0, timeout=timeout)

    # -- many clicks ------------------------------------------------------------

    def test_burst_of_200_clicks_gives_200_boxes_and_200_requests_and_leaves_nothing_behind(self):
        name, type_text = gbk("张三 Tom"), b"3"
        self.set_boxes(name, type_text)
        expected = card_target(name_escapes(name), "&type=3")
        self.generate_once()
        baseline = self.settled_objects()
        CardService.reset()

        for _ in range(BURST):
            self.driver("click", self.button)
        boxes = self.wait_boxes(BURST, timeout=90)
        self.assertEqual({(b["caption"], b["text"]) for b in boxes}, {(CAPTION, SUCCESS)})
        self.assertEqual(len({b["tid"] for b in boxes}), BURST, "one worker thread per box")
        self.dismiss_all(boxes)
        self.assertIsNone(self.tool.wait(0), "the tool ended")
        self.assert_objects_back(baseline, skip_kinds=DC_CACHE_KINDS)

        # Every click's request reaches the service, none is dropped in favour
        # of a later one, and the last one leaves the view at the address of
        # the last click.
        targets = self.wait_card_targets(BURST, timeout=30)
        self.driver("sleep", 500)
        targets = CardService.card_targets()
        self.assertEqual(len(targets), BURST)
        self.assertEqual(set(targets), {expected})
        self.assertEqual(targets[-1], expected)

        # The window still works.
        self.set_boxes(b"Ann", b"4")
        CardService.reset()
        self.click_and_check(card_target("%41%6E%6E", "&type=4"))

    def test_generations_one_after_another_leave_no_object_behind(self):
        self.set_boxes(b"Tom", b"2")
        self.generate_once()
        baseline = self.settled_objects()
        for _ in range(IN_A_ROW):
            self.generate_once()
        self.assert_objects_back(baseline)
        self.assertIsNone(self.tool.wait(0), "the tool ended")
        targets = self.wait_card_targets(IN_A_ROW + 1)
        self.assertEqual(targets, [card_target("%54%6F%6D", "&type=2")] * (IN_A_ROW + 1))

    def test_1000_repaints_leave_the_gdi_count_unchanged(self):
        baseline = self.settled_objects()
        self.assertTrue(self.driver("repaint", self.hwnd, REPAINTS))
        after = self.assert_objects_back(baseline)
        self.assertEqual((after["gdi"], after["gdi_types"]), (baseline["gdi"], baseline["gdi_types"]))
        self.assertIsNone(self.tool.wait(0), "the tool ended")

    def test_closing_with_50_boxes_open_ends_with_exit_code_0_within_2_s(self):
        self.set_boxes(b"Tom", b"3")
        for _ in range(OPEN_AT_CLOSE):
            self.driver("click", self.button)
        self.wait_boxes(OPEN_AT_CLOSE, timeout=60)
        started = time.monotonic()
        self.driver("close", self.hwnd)
        code = self.tool.wait(10)
        took = time.monotonic() - started
        self.assertEqual(code, 0)
        self.assertLess(took, 2.0, "the process ended %.2f s after the close" % took)

    # -- long and hostile names -------------------------------------------------

    def check_name(self, clipboard):
        """Pastes the bytes into the name box: the box holds what the platform
        makes of them, and the request carries exactly that, converted to UTF-8
        and escaped."""
        box = self.paste(self.name_box, clipboard)
        self.assertEqual(box, pasted_into_box(clipboard))
        type_text = self.driver.text(self.type_box)
        self.assertNotEqual(type_text, b"")
        self.click_and_check(card_target(name_escapes(box), "&type=" + type_text.decode("ascii")), timeout=60)
        return box

    def test_name_of_30000_chinese_characters(self):
        clipboard = gbk(chinese_characters(LONG))
        box = self.check_name(clipboard)
        self.assertEqual(len(box), 2 * LONG)

    def test_name_of_30000_ascii_characters(self):
        box = self.check_name(printable_ascii(LONG))
        self.assertEqual(len(box), LONG)

    def test_name_with_every_byte_value_in_valid_sequences(self):
        clipboard = every_byte_valid()
        self.assertEqual(set(clipboard), set(range(0x01, 0x100)))
        box = self.check_name(clipboard)
        self.assertEqual(box, clipboard[:-1], "the box holds all but the final line break")

    def test_name_with_broken_code_page_936_sequences(self):
        clipboard = broken_sequences()
        box = self.check_name(clipboard)
        self.assertEqual(box.count(b"?"), 0xFE - 0x81 + 1 + 2)  # every broken pair and the lone lead byte

    def test_type_text_of_30000_characters_goes_in_unchanged(self):
        self.set_boxes(b"Tom", b"")
        pasted = bytes(URL_SAFE_TYPE_CHARACTERS[i % len(URL_SAFE_TYPE_CHARACTERS)] for i in range(LONG))
        self.assertEqual(self.paste(self.type_box, pasted), pasted)
        self.click_and_check(card_target("%54%6F%6D", "&type=" + pasted.decode("ascii")), timeout=60)


if __name__ == "__main__":
    unittest.main()
