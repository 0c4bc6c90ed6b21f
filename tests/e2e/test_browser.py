"""The browser view: what its address writes make it request, and how it
behaves when the service is away or slow."""

import socket
import threading
import time
import unittest

from harness import *  # noqa: F401,F403
from harness import SERVICE_PORT, CardService, ToolTestCase, card_target, utf8_escapes, wait_for


class SilentServer:
    """Takes connections on the service's port and never answers, so that a
    page stays loading."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", SERVICE_PORT))
        self.sock.listen(16)
        self.accepted = []
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                connection, _ = self.sock.accept()
            except OSError:
                return
            self.accepted.append(connection)

    def close(self):
        self.sock.close()
        for connection in self.accepted:
            connection.close()


class BrowserViewTest(ToolTestCase):
    def visible_windows(self):
        return [bytes.fromhex(w["class"]) for w in self.driver("toplevel", self.pid)]

    def test_same_address_written_twice_loads_twice(self):
        CardService.reset()
        self.start()
        self.set_boxes(b"Ann", b"4")
        self.driver("click", self.button)
        boxes = self.wait_boxes(1)
        self.driver("dismiss", boxes[0]["hwnd"])
        self.wait_boxes(0)
        self.driver("click", self.button)
        self.wait_boxes(1)
        ann = card_target("%41%6E%6E", "&type=4")
        welcome = card_target(utf8_escapes("欢迎您"), "&type=5")
        self.assertEqual(self.wait_card_targets(3), [welcome, ann, ann])
        request = CardService.requests()[1]
        self.assertEqual(request["method"], "GET")
        self.assertTrue(request["request_line"].endswith(" HTTP/1.1"))
        header_names = [name.lower() for name, _ in request["headers"]]
        self.assertNotIn("content-length", header_names)

    def test_no_dialog_when_the_service_is_down(self):
        CardService.stop()
        try:
            self.assertFalse(CardService.healthy())
            self.start()
            self.set_boxes(b"Tom", b"3")
            self.driver("click", self.button)
            boxes = self.wait_boxes(1)  # only the tool's own success box
            self.driver("dismiss", boxes[0]["hwnd"])
            self.driver("sleep", 3000)
            self.assertEqual(self.visible_windows(), [b"ConfessionCardMainWindow"])
        finally:
            CardService.ensure()

    def test_closing_while_the_page_loads_ends_with_exit_code_0(self):
        CardService.stop()
        server = SilentServer()
        try:
            self.start()
            self.assertTrue(wait_for(lambda: server.accepted, timeout=10), "the welcome request did not connect")
            started = time.monotonic()
            self.driver("close", self.hwnd)
            self.assertEqual(self.wait_exit(timeout=15), 0)
            self.assertLess(time.monotonic() - started, 10)
        finally:
            server.close()
            CardService.ensure()


if __name__ == "__main__":
    unittest.main()
