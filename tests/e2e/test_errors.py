"""Run-time errors: the error box and the end of the process with exit code
-1, which the shell sees as 255. A test-only program built from the tool's
own code brings the failures about."""

import unittest

from harness import *  # noqa: F401,F403
from harness import PROBE_EXE, Tool, ToolTestCase, gbk, wait_for

CAPTION = gbk("错误")
HEAD = gbk("运行时出错!") + b"\r\n\r\n"


class RuntimeErrorTest(ToolTestCase):
    exe = PROBE_EXE

    def error_box(self, pid=0):
        found = wait_for(lambda: self.driver.boxes(pid or self.pid), timeout=15)
        self.assertIsNotNone(found, "no error box")
        self.assertEqual(len(found), 1)
        return found[0]

    def error_box_of_any_process(self):
        """The error box of a run that has no window to find it by."""
        found = wait_for(lambda: [b for b in self.driver.boxes(0) if b["caption"] == CAPTION], timeout=15)
        self.assertIsNotNone(found, "no error box")
        return found[0]

    def dismiss_and_expect_255(self, box):
        self.assertIsNone(self.tool.wait(0.5), "the process must wait for the box")
        self.driver("dismiss", box["hwnd"])
        self.assertEqual(self.wait_exit(), 255)

    def test_error_on_the_ui_thread(self):
        self.start("ui-error")
        self.driver("click", self.button)
        box = self.error_box()
        self.assertEqual(box["caption"], CAPTION)
        self.assertEqual(box["text"], HEAD + gbk("错误信息：测试用的错误") + b"\r\n")
        self.assertEqual(box["tid"], self.tid)
        self.assertTrue(box["ok"])
        self.assertFalse(box["cancel"])
        self.dismiss_and_expect_255(box)

    def test_error_on_a_worker_thread_with_a_code(self):
        self.start("worker-error")
        self.driver("click", self.button)
        box = self.error_box()
        self.assertEqual(box["text"], HEAD + gbk("错误代码：6") + b"\r\n\r\n" +
                         gbk("错误信息：调用DLL命令后发现堆栈错误") + b"\r\n")
        self.assertNotEqual(box["tid"], self.tid)
        # The window stays usable while the worker's box is open.
        self.driver.type_text(self.name_box, b"ok")
        self.assertIsNotNone(wait_for(lambda: self.driver.text(self.name_box) == b"ok"))
        self.dismiss_and_expect_255(box)

    def test_function_that_cannot_be_found(self):
        self.start("missing-export")
        self.driver("click", self.button)
        box = self.error_box()
        self.assertEqual(box["text"], HEAD + gbk("错误信息：无法找到指定DLL库文件“kernel32.dll”中的输出命令“NoSuchExportedFunction”") + b"\r\n")
        self.dismiss_and_expect_255(box)

    def test_browser_control_that_cannot_be_created(self):
        self.tool = Tool(PROBE_EXE, "bad-browser")
        box = self.error_box_of_any_process()
        self.assertEqual(box["text"], HEAD + gbk("错误信息：载入启动窗口失败") + b"\r\n")
        self.assertIsNone(self.driver("main", box["pid"], 0), "no window is shown")
        self.dismiss_and_expect_255(box)

    def test_worker_reading_after_the_window_is_closed(self):
        self.start("read-closed")
        pid = self.pid
        self.driver("click", self.button)
        box = self.error_box(pid)
        self.assertEqual(box["text"], HEAD + gbk("错误信息：未载入欲访问窗口组件所在的窗口") + b"\r\n")
        self.assertEqual(self.driver("mains"), [], "the window is gone")
        self.dismiss_and_expect_255(box)

    def test_worker_reading_a_control_that_is_not_there(self):
        self.start("unknown-control")
        self.driver("click", self.button)
        box = self.error_box()
        self.assertEqual(box["text"], HEAD + gbk("错误信息：指定窗口尚未载入") + b"\r\n")
        self.dismiss_and_expect_255(box)

    def test_memory_that_cannot_be_obtained(self):
        self.tool = Tool(PROBE_EXE, "no-memory")
        box = self.error_box_of_any_process()
        self.assertEqual(box["text"], HEAD + gbk("错误信息：分配 %d 字节内存失败!" % (1 << 60)) + b"\r\n")
        self.dismiss_and_expect_255(box)

    def test_byte_buffer_index_out_of_range(self):
        cases = (("index-below", 4, "数组成员引用下标必须大于等于1"),
                 ("index-above", 1, "数组成员引用下标超出定义范围"))
        for mode, code, message in cases:
            with self.subTest(mode=mode):
                self.tool = Tool(PROBE_EXE, mode)
                box = self.error_box_of_any_process()
                self.assertEqual(box["text"], HEAD + gbk("错误代码：%d" % code) + b"\r\n\r\n" +
                                 gbk("错误信息：" + message) + b"\r\n")
                self.dismiss_and_expect_255(box)


if __name__ == "__main__":
    unittest.main()
