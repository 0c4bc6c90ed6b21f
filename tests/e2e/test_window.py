"""The window as the user first sees it: caption, size, place, controls."""

import unittest

from harness import *  # noqa: F401,F403
from harness import ToolTestCase, gbk, wait_for

LEGEND = gbk("表白语句说明：\r\n\r\n1=嫁给我吧\r\n\r\n2=来娶我吧\r\n\r\n3=我爱你\r\n\r\n4=我喜欢你\r\n\r\n5=耍朋友不")


class WindowTest(ToolTestCase):
    def setUp(self):
        super().setUp()
        self.start()

    def test_caption_size_and_centred_place(self):
        self.assertEqual(bytes.fromhex(self.main["text"]), b"Quillmere Tarvox By:Brenn ")
        left, top, width, height = self.main["screen"]
        self.assertEqual((width, height), (380, 448))
        screen_width, screen_height = self.driver("screen")
        self.assertEqual((left, top), (int((screen_width - 380) / 2), int((screen_height - 448) / 2)))

    def test_frame_styles(self):
        style = self.main["style"]
        for bit in (WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_CLIPCHILDREN, WS_VISIBLE):
            self.assertTrue(style & bit, hex(bit))
        self.assertFalse(style & WS_THICKFRAME, "the frame must not be sizeable")
        self.assertFalse(style & 0x00010000, "no maximize box")  # WS_MAXIMIZEBOX on a top-level window
        self.assertFalse(style & WS_CHILD)
        self.assertEqual(self.main["parent"], 0)

    def test_controls_classes_places_and_stacking(self):
        expected = [  # from the top of the stacking order
            (b"ConfessionCardHtmlViewer", [0, 0, 280, 416], b""),
            (b"ConfessionCardTransLabel", [285, 157, 107, 243], LEGEND),
            (b"ConfessionCardTransLabel", [286, 64, 100, 24], gbk("表白语句")),
            (b"ConfessionCardTransLabel", [285, 16, 100, 24], gbk("名字")),
            (b"Button", [286, 116, 80, 32], gbk("生成")),
            (b"Edit", [287, 86, 80, 20], b"1"),
            (b"Edit", [286, 38, 80, 20], b""),
        ]
        seen = [(c["class"], c["rect"], c["text"]) for c in self.controls]
        self.assertEqual(seen, expected)
        self.assertEqual(len(LEGEND), 82)
        for control in self.controls:
            self.assertTrue(control["visible"] and control["enabled"])
            self.assertTrue(control["style"] & WS_CHILD and control["style"] & WS_CLIPSIBLINGS)
            self.assertEqual(control["parent"], self.hwnd)

    def test_control_styles(self):
        view, legend, type_label, name_label, button, type_box, name_box = self.controls
        for tab_stop in (view, button, type_box, name_box):
            self.assertTrue(tab_stop["style"] & WS_TABSTOP)
        for label in (legend, type_label, name_label):
            self.assertFalse(label["style"] & WS_TABSTOP)
            self.assertTrue(label["exstyle"] & WS_EX_TRANSPARENT)
        for box in (type_box, name_box):
            self.assertTrue(box["style"] & ES_AUTOHSCROLL)
            self.assertFalse(box["exstyle"] & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME))
        self.assertTrue(type_box["style"] & ES_CENTER)
        self.assertFalse(name_box["style"] & ES_CENTER)
        self.assertEqual(button["style"] & (BS_CENTER | BS_VCENTER | BS_MULTILINE), BS_CENTER | BS_VCENTER | BS_MULTILINE)
        self.assertFalse(button["style"] & BS_DEFPUSHBUTTON, "the button is not a default button")

    def test_type_text_line_is_centred_in_its_box(self):
        type_box = self.controls[5]
        box_top, box_height = type_box["screen"][1], type_box["screen"][3]
        line_top, line_height = type_box["client"][1], type_box["client"][3]
        self.assertLess(line_height, box_height)
        above = line_top - box_top
        below = box_top + box_height - (line_top + line_height)
        self.assertLessEqual(abs(above - below), 1, (above, below))

    def test_first_focus_is_the_name_box(self):
        focus = wait_for(lambda: self.driver.focus(self.tid))
        self.assertEqual(focus["hwnd"], self.name_box)

    def test_close_button_ends_with_exit_code_0(self):
        self.driver("close", self.hwnd)
        self.assertEqual(self.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
