"""The welcome card and the generate action, seen at the card service and in
the message boxes."""

import time
import unittest

from harness import *  # noqa: F401,F403
from harness import CardService, ToolTestCase, card_target, gbk, utf8_escapes, wait_for

SUCCESS = bytes.fromhex(  # "已生成完毕,右键点击（图片另存为）即可保存哦\r\n如果没有成功请多生成几次！" in GBK
    "D2D1C9FAB3C9CDEAB1CF2CD3D2BCFCB5E3BBF7A3A8CDBCC6ACC1EDB4E6CEAAA3A9BCB4BFC9B1A3B4E6C5B6"
    "0D0AC8E7B9FBC3BBD3D0B3C9B9A6C7EBB6E0C9FAB3C9BCB8B4CEA3A1")
VALIDATION = bytes.fromhex("C3FBD7D6BBF2D5DFB1EDB0D7D3EFBEE4B2BBC4DCCEAABFD5")  # "名字或者表白语句不能为空"
CAPTION = bytes.fromhex("D0C5CFA2A3BA")  # "信息："
WELCOME = card_target(utf8_escapes("欢迎您"), "&type=5")


class GenerateTest(ToolTestCase):
    def setUp(self):
        super().setUp()
        CardService.reset()
        self.start()
        self.assertEqual(self.wait_card_targets(1), [WELCOME])
        CardService.reset()

    def generate(self, name, type_text, boxes=1):
        self.set_boxes(name, type_text)
        self.driver("click", self.button)
        return self.wait_boxes(boxes)

    def assert_no_request(self):
        self.driver("sleep", 1000)
        self.assertEqual(CardService.card_targets(), [])

    def test_expected_texts_are_the_gbk_bytes(self):
        self.assertEqual(SUCCESS, gbk("已生成完毕,右键点击（图片另存为）即可保存哦\r\n如果没有成功请多生成几次！"))
        self.assertEqual(VALIDATION, gbk("名字或者表白语句不能为空"))
        self.assertEqual(CAPTION, gbk("信息："))

    def test_tom_type_3_requests_the_card_then_tells_how_to_save_it(self):
        boxes = self.generate(b"Tom", b"3")
        self.assertEqual(boxes[0]["text"], SUCCESS)
        self.assertEqual(boxes[0]["caption"], CAPTION)
        self.assertTrue(boxes[0]["ok"])
        self.assertFalse(boxes[0]["cancel"])
        self.assertEqual(self.wait_card_targets(1), [card_target("%54%6F%6D", "&type=3")])
        self.assertNotEqual(boxes[0]["tid"], self.tid, "the box belongs to a worker thread")

    def test_empty_inputs_give_one_validation_box_and_no_request(self):
        for name, type_text in ((b"", b""), (b"", b"1"), (b"Tom", b"")):
            with self.subTest(name=name, type_text=type_text):
                boxes = self.generate(name, type_text)
                self.assertEqual([(b["caption"], b["text"]) for b in boxes], [(CAPTION, VALIDATION)])
                self.assert_no_request()
                self.driver("dismiss", boxes[0]["hwnd"])
                self.wait_boxes(0)

    def test_name_of_spaces_is_sent_as_escaped_spaces(self):
        self.generate(b"   ", b"1")
        self.assertEqual(self.wait_card_targets(1), [card_target("%20%20%20", "&type=1")])

    def test_chinese_name_arrives_as_its_utf8_escapes(self):
        self.generate(gbk("张三丰"), b"2")
        self.assertEqual(self.wait_card_targets(1), [card_target(utf8_escapes("张三丰"), "&type=2")])

    def test_type_text_goes_in_unchanged(self):
        for pasted in (b"7", b"1.5", b"-3", b"abc", b"2&x=1"):
            with self.subTest(type_text=pasted):
                CardService.reset()
                self.set_boxes(b"a b", b"")
                self.driver("paste", self.type_box, pasted.hex())
                wait_for(lambda: self.driver.text(self.type_box) == pasted)
                self.driver("click", self.button)
                box = self.wait_boxes(1)[0]
                self.assertEqual(self.wait_card_targets(1), [card_target("%61%20%62", "&type=" + pasted.decode())])
                self.driver("dismiss", box["hwnd"])
                self.wait_boxes(0)

    def test_two_quick_clicks_give_two_requests_and_two_boxes(self):
        self.set_boxes(b"Tom", b"3")
        self.driver("click", self.button)
        self.driver("click", self.button)
        boxes = self.wait_boxes(2)
        self.assertEqual([b["text"] for b in boxes], [SUCCESS, SUCCESS])
        self.assertEqual(self.wait_card_targets(2), [card_target("%54%6F%6D", "&type=3")] * 2)
        # The window stays usable while the boxes are open.
        self.driver.type_text(self.name_box, b"x")
        self.assertIsNotNone(wait_for(lambda: self.driver.text(self.name_box) == b"Tomx"))
        for box in boxes:
            self.driver("dismiss", box["hwnd"])
        self.wait_boxes(0)
        self.assertIsNone(self.tool.wait(0))

    def test_empty_click_while_a_success_box_is_open_adds_a_validation_box(self):
        first = self.generate(b"Tom", b"3")[0]
        self.set_boxes(b"", b"3")
        self.driver("click", self.button)
        boxes = self.wait_boxes(2)
        self.assertEqual(sorted(b["text"] for b in boxes), sorted([SUCCESS, VALIDATION]))
        self.assertIn(first["hwnd"], [b["hwnd"] for b in boxes])
        self.assertEqual(len(self.wait_card_targets(1)), 1)

    def test_closing_with_boxes_open_ends_at_once_with_exit_code_0(self):
        self.set_boxes(b"Tom", b"3")
        for _ in range(3):
            self.driver("click", self.button)
        self.wait_boxes(3)
        started = time.monotonic()
        self.driver("close", self.hwnd)
        self.assertEqual(self.wait_exit(timeout=10), 0)
        self.assertLess(time.monotonic() - started, 5)

    def test_success_box_does_not_wait_for_the_service(self):
        CardService.stop()
        try:
            self.assertFalse(CardService.healthy())
            boxes = self.generate(b"Tom", b"3")
            self.assertEqual(boxes[0]["text"], SUCCESS)
        finally:
            CardService.ensure()


if __name__ == "__main__":
    unittest.main()
