"""Keys and presses: the Tab cycle, Esc, Enter, the space bar, the type box's
filter and the legend."""

import unittest

from harness import *  # noqa: F401,F403
from harness import CardService, ToolTestCase, gbk, wait_for


class KeyboardTest(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.start()
        wait_for(lambda: self.driver.focus(self.tid))

    def focused(self):
        return self.driver.focus(self.tid)

    def stop_of(self, focus):
        """Which tab stop holds the focus: 0 name, 1 type, 2 button, 3 view."""
        stops = [self.name_box, self.type_box, self.button]
        if focus["hwnd"] in stops:
            return stops.index(focus["hwnd"])
        window = focus["hwnd"]
        while window:
            if window == self.view:
                return 3
            info = self.driver("window", window)
            window = info["parent"] if info else 0
        return None

    def press_and_see(self, vk, shift=False):
        before = self.focused()["hwnd"]
        if shift:
            # A posted key carries no keyboard state: Shift+Tab is real input
            # to the window in front.
            self.driver("foreground", self.hwnd)
            self.driver("input", vk, "shift")
        else:
            self.driver("key", before, vk)
        moved = wait_for(lambda: (lambda f: f if f and f["hwnd"] != before else None)(self.focused()), timeout=5)
        self.assertIsNotNone(moved, "the focus did not move")
        return self.stop_of(moved)

    def test_tab_cycles_forward(self):
        self.assertEqual([self.press_and_see(VK_TAB) for _ in range(4)], [1, 2, 3, 0])

    def test_shift_tab_cycles_backward(self):
        self.assertEqual([self.press_and_see(VK_TAB, shift=True) for _ in range(4)], [3, 2, 1, 0])

    def test_enter_does_not_press_the_button(self):
        for target in (self.name_box, self.type_box):
            self.driver("key", target, VK_RETURN)
            self.driver("char", target, 0x0D)
        self.driver("sleep", 800)
        self.assertEqual(self.driver.boxes(self.pid), [])

    def test_space_bar_on_the_focused_button_presses_it(self):
        self.press_and_see(VK_TAB)
        self.assertEqual(self.press_and_see(VK_TAB), 2)
        self.driver("key", self.button, VK_SPACE)
        boxes = self.wait_boxes(1)
        self.assertEqual(boxes[0]["caption"], gbk("信息："))

    def test_f1_does_nothing(self):
        self.driver("key", self.name_box, VK_F1)
        self.driver("sleep", 500)
        self.assertIsNone(self.tool.wait(0))
        self.assertEqual(self.focused()["hwnd"], self.name_box)
        self.assertEqual(self.driver.boxes(self.pid), [])

    def test_type_box_drops_typed_letters_chinese_and_spaces(self):
        self.driver("char", self.type_box, VK_BACK)  # the caret is at 0: nothing to remove
        self.driver.type_text(self.type_box, b"ab Z" + gbk("我") + b"\t")
        self.driver("sleep", 300)
        self.assertEqual(self.driver.text(self.type_box), b"1")

    def test_type_box_takes_digits_minus_full_stop_and_backspace(self):
        self.driver("key", self.type_box, 0x23)  # End
        self.driver("char", self.type_box, VK_BACK)
        self.driver.type_text(self.type_box, b"-3.5..")
        self.driver("char", self.type_box, VK_BACK)
        self.assertIsNotNone(wait_for(lambda: self.driver.text(self.type_box) == b"-3.5."),
                             self.driver.text(self.type_box))

    def test_type_box_takes_pasted_letters(self):
        self.driver("key", self.type_box, 0x23)
        self.assertTrue(self.driver("paste", self.type_box, b"abc".hex()))
        self.assertIsNotNone(wait_for(lambda: self.driver.text(self.type_box) == b"1abc"),
                             self.driver.text(self.type_box))

    def test_name_box_takes_everything(self):
        typed = b"Tom Lee-1.5" + gbk("张三")
        self.driver.type_text(self.name_box, typed)
        self.assertIsNotNone(wait_for(lambda: self.driver.text(self.name_box) == typed), self.driver.text(self.name_box))

    def test_legend_press_changes_nothing(self):
        legend = self.control(b"ConfessionCardTransLabel", 0)["hwnd"]
        texts = [self.driver.text(c["hwnd"]) for c in self.controls]
        self.driver("button", legend, 10, 30)
        self.driver("sleep", 500)
        self.assertEqual(self.focused()["hwnd"], self.name_box)
        self.assertEqual([self.driver.text(c["hwnd"]) for c in self.controls], texts)
        self.assertEqual(self.driver.boxes(self.pid), [])
        self.assertIsNone(self.tool.wait(0))


class EscapeTest(ToolTestCase):
    """Esc closes the window from every control that can hold the focus."""

    def esc_from(self, tabs):
        self.start()
        wait_for(lambda: self.driver.focus(self.tid))
        for _ in range(tabs):
            before = self.driver.focus(self.tid)["hwnd"]
            self.driver("key", before, VK_TAB)
            wait_for(lambda: self.driver.focus(self.tid)["hwnd"] != before)
        self.driver("key", self.driver.focus(self.tid)["hwnd"], VK_ESCAPE)
        self.assertEqual(self.wait_exit(), 0)

    def test_esc_in_the_name_box(self):
        self.esc_from(0)

    def test_esc_in_the_type_box(self):
        self.esc_from(1)

    def test_esc_on_the_button(self):
        self.esc_from(2)

    def test_esc_in_the_browser_view(self):
        self.esc_from(3)


if __name__ == "__main__":
    unittest.main()
