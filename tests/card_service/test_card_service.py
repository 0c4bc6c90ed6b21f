"""Tests of the local card service: pages, picture, recorder, robustness.

Run with the system Python (the one that has Pillow):
    python3 -m unittest discover -s tests/card_service -v
Every server here listens on a free port picked by the system.
"""

import html
import http.client
import io
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "card_service.py")
CTL = os.path.join(HERE, "service_ctl.sh")

PREFIX = "/app/index.php?c=entry&m=leo_generate&do=index&i=2"
DECLARATIONS = {"1": "嫁给我吧", "2": "来娶我吧", "3": "我爱你", "4": "我喜欢你", "5": "耍朋友不"}


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def escape_all(text):
    """Every UTF-8 byte as %XX, letters included, as the tool writes names."""
    return "".join("%%%02X" % b for b in text.encode("utf-8"))


def card_url(name_escaped, type_text):
    return "%s&name=%s&type=%s" % (PREFIX, name_escaped, type_text)


class Service:
    """The service in a child process on a free port."""

    def __init__(self, extra_args=()):
        self.dir = tempfile.TemporaryDirectory()
        self.ready = os.path.join(self.dir.name, "ready")
        self.pidfile = os.path.join(self.dir.name, "pid")
        self.log = os.path.join(self.dir.name, "requests.jsonl")
        self.stderr_path = os.path.join(self.dir.name, "stderr")
        self.stderr = open(self.stderr_path, "wb")
        self.proc = subprocess.Popen(
            [sys.executable, SERVICE, "--port", "0", "--ready-file", self.ready,
             "--pidfile", self.pidfile, "--log", self.log, *extra_args],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.stderr,
        )
        self.printed_port = int(self.proc.stdout.readline())
        deadline = time.monotonic() + 10
        while not (os.path.exists(self.ready) and read(self.ready).strip()):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise RuntimeError("the card service did not start")
            time.sleep(0.05)
        self.port = int(read(self.ready))

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self.stderr.close()
        self.dir.cleanup()

    # -- clients --------------------------------------------------------

    def get(self, target, method="GET", headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        try:
            conn.putrequest(method, target, skip_host=False, skip_accept_encoding=True)
            for name, value in (headers or {}).items():
                conn.putheader(name, value)
            conn.endheaders()
            resp = conn.getresponse()
            body = resp.read()
            return resp.status, dict((k.lower(), v) for k, v in resp.getheaders()), body
        finally:
            conn.close()

    def raw(self, data, timeout=30):
        """Sends bytes as they are and returns the whole answer (the server
        closes after it: the requests here say so or are bad)."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(data)
            chunks = []
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                chunks.append(chunk)
        return b"".join(chunks)

    def records(self, query=""):
        status, headers, body = self.get("/__requests" + query)
        assert status == 200, status
        return json.loads(body.decode("ascii"))

    def reset(self):
        status, _, body = self.get("/__reset")
        assert status == 200
        return json.loads(body)


def split_response(data):
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    status = int(lines[0].split()[1])
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return status, headers, body


def page_field(page, element_id):
    m = re.search(r'<div id="%s">(.*?)</div>' % element_id, page, re.S)
    return html.unescape(m.group(1)) if m else None


class CardServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = Service()

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def setUp(self):
        self.service.reset()

    def page(self, target):
        status, headers, body = self.service.get(target)
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/html; charset=UTF-8")
        self.assertEqual(int(headers["content-length"]), len(body))
        return body.decode("utf-8")

    # -- pages --------------------------------------------------------------

    def test_welcome_card_page_and_picture(self):
        page = self.page(card_url(escape_all("欢迎您"), "5"))
        self.assertIn('<meta http-equiv="Content-Type" content="text/html; charset=utf-8">', page)
        self.assertTrue(page.startswith("<!DOCTYPE HTML PUBLIC"))
        self.assertEqual(page_field(page, "card-name"), "欢迎您")
        self.assertEqual(page_field(page, "card-declaration"), "耍朋友不")
        for modern in ("<svg", "<script", "<canvas", "<video"):
            self.assertNotIn(modern, page.lower())
        m = re.search(r'<img id="card-image" src="([^"]+)" width="(\d+)" height="(\d+)"', page)
        self.assertIsNotNone(m, page)
        src = html.unescape(m.group(1))
        self.assertTrue(src.startswith("/card.png?"), src)
        status, headers, png = self.service.get(src)
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "image/png")
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        picture = Image.open(io.BytesIO(png))
        picture.load()
        self.assertEqual(picture.size, (int(m.group(2)), int(m.group(3))))
        self.assertEqual(picture.size, (480, 320))
        # The heart is red in the middle, the corners are not.
        r, g, b = picture.convert("RGB").getpixel((240, 230))
        self.assertTrue(r > 180 and g < 100 and b < 120, (r, g, b))
        self.assertNotEqual(picture.convert("RGB").getpixel((20, 160)), (r, g, b))

    def test_pictures_differ_by_name_and_type(self):
        def png(name, code):
            status, _, body = self.service.get("/card.png?name=%s&type=%s" % (escape_all(name), code))
            self.assertEqual(status, 200)
            return body

        base = png("Tom", "3")
        self.assertNotEqual(base, png("Tom", "4"))
        self.assertNotEqual(base, png("Jerry", "3"))
        self.assertEqual(base, png("Tom", "3"))

    def test_name_escaped_or_decoded_gives_the_same_card(self):
        # The tool writes %54%6F%6D; the browser engine may send it as Tom.
        for name in ("%54%6F%6D", "Tom"):
            page = self.page(card_url(name, "3"))
            self.assertEqual(page_field(page, "card-name"), "Tom")
            self.assertEqual(page_field(page, "card-declaration"), "我爱你")
            self.assertEqual(page_field(page, "card-type"), "3")

    def test_every_code_has_its_declaration(self):
        for code, declaration in DECLARATIONS.items():
            page = self.page(card_url(escape_all("小明"), code))
            self.assertEqual(page_field(page, "card-declaration"), declaration, code)
            self.assertEqual(page_field(page, "card-name"), "小明")
            for other_code, other in DECLARATIONS.items():
                if other_code != code and other not in declaration:
                    self.assertNotIn(other, page_field(page, "card-declaration"))

    def test_escaped_space_ampersand_and_plus_in_names(self):
        page = self.page(card_url(escape_all("A & B+C 爱"), "4"))
        self.assertEqual(page_field(page, "card-name"), "A & B+C 爱")
        self.assertIn("A &amp; B+C 爱", page)

    def assert_unknown(self, target, shown=None):
        page = self.page(target)
        self.assertIn('id="card-error"', page)
        self.assertIn("1 到 5", page)
        self.assertIn("Unknown type code; the codes are 1 to 5.", page)
        self.assertNotIn('id="card-image"', page)
        self.assertNotIn('id="card-declaration"', page)
        if shown is not None:
            self.assertIn(shown, page)
        return page

    def test_unknown_codes_give_the_codes_page(self):
        for code in ("7", "0", "6", "abc", "1.5", "-3", "03", "+3", "%203", "3%20", "%33%33", "%E6%88%91"):
            with self.subTest(code=code):
                self.assert_unknown(card_url("Tom", code))
        self.assert_unknown(card_url("Tom", ""), shown="（空）")
        self.assert_unknown(card_url("Tom", "abc"), shown="“abc”")
        self.assert_unknown(PREFIX + "&name=Tom")

    def test_plus_is_a_space_and_the_last_repeated_parameter_wins(self):
        page = self.page(PREFIX + "&name=A+B&type=1&name=%43&type=4")
        self.assertEqual(page_field(page, "card-name"), "C")
        self.assertEqual(page_field(page, "card-declaration"), "我喜欢你")
        page = self.page(PREFIX + "&NAME=x&name=A+B%2B&type=2&Type=5")
        self.assertEqual(page_field(page, "card-name"), "A B+")
        self.assertEqual(page_field(page, "card-declaration"), "来娶我吧")

    def test_type_text_with_an_ampersand_is_split_like_any_query(self):
        # "2&x=1" unencoded makes two parameters: type=2 and x=1.
        page = self.page(card_url("Tom", "2&x=1"))
        self.assertEqual(page_field(page, "card-declaration"), "来娶我吧")

    def test_raw_bytes_in_the_request_line(self):
        # Raw GBK in the type, raw UTF-8 in the name: no escaping at all.
        line = b"GET " + PREFIX.encode() + b"&name=\xe6\xac\xa2&type=\xce\xd2\xb0\xae HTTP/1.1"
        data = self.service.raw(line + b"\r\nHost: x\r\nConnection: close\r\n\r\n")
        status, headers, body = split_response(data)
        self.assertEqual(status, 200)
        self.assertIn("1 到 5", body.decode("utf-8"))
        recorded = self.service.records()
        self.assertEqual(len(recorded), 1)
        self.assertEqual(recorded[0]["request_line"], line.decode("latin-1"))
        self.assertTrue(recorded[0]["query"].encode("latin-1").endswith(b"&name=\xe6\xac\xa2&type=\xce\xd2\xb0\xae"))

        line = b"GET " + PREFIX.encode() + b"&name=\xe6\xac\xa2&type=3 HTTP/1.1"
        status, _, body = split_response(self.service.raw(line + b"\r\nConnection: close\r\n\r\n"))
        self.assertEqual(status, 200)
        self.assertEqual(page_field(body.decode("utf-8"), "card-name"), "欢")

    def test_invalid_utf8_in_the_name_does_not_break_anything(self):
        for name in ("%FF%FE%C3", "%E6%AC", "%C0%AF%ED%A0%80", "%00%0A%0D", "%ZZ%4", "%"):
            with self.subTest(name=name):
                page = self.page(card_url(name, "1"))
                self.assertEqual(page_field(page, "card-declaration"), "嫁给我吧")
                src = html.unescape(re.search(r'src="([^"]+)"', page).group(1))
                status, _, png = self.service.get(src)
                self.assertEqual(status, 200)
                self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        page = self.page(card_url("%FF%FE", "1"))
        self.assertEqual(page_field(page, "card-name"), "\ufffd\ufffd")
        self.assertEqual(self.service.get("/__health")[2], b"ok")

    def test_head_answers_the_headers_only(self):
        target = card_url(escape_all("欢迎您"), "5")
        _, get_headers, get_body = self.service.get(target)
        status, headers, body = self.service.get(target, method="HEAD")
        self.assertEqual(status, 200)
        self.assertEqual(body, b"")
        self.assertEqual(int(headers["content-length"]), len(get_body))
        self.assertEqual([r["method"] for r in self.service.records()], ["GET", "HEAD"])

    def test_other_paths_are_404_and_other_methods_405(self):
        self.assertEqual(self.service.get("/favicon.ico")[0], 404)
        self.assertEqual(self.service.get("/app/other.php?x=1")[0], 404)
        data = self.service.raw(
            b"POST /app/index.php?name=Tom&type=3 HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n"
            b"Connection: close\r\n\r\nhello")
        status, headers, _ = split_response(data)
        self.assertEqual(status, 405)
        self.assertEqual(headers["allow"], "GET, HEAD")
        self.assertEqual([(r["method"], r["path"]) for r in self.service.records()],
                         [("GET", "/favicon.ico"), ("GET", "/app/other.php"), ("POST", "/app/index.php")])

    # -- recorder -----------------------------------------------------------

    def test_records_keep_the_exact_request_line_and_headers(self):
        target = card_url("%54%6F%6D", "7")
        line = "GET %s HTTP/1.1" % target
        data = self.service.raw(
            (line + "\r\nHost: 127.0.0.1\r\nuser-agent: Tester/1.0\r\nAccept-Language: zh-CN\r\n"
             "X-Twice: one\r\nX-Twice: two\r\nEmpty:\r\nConnection: close\r\n\r\n").encode())
        self.assertEqual(split_response(data)[0], 200)
        recorded = self.service.records()
        self.assertEqual(len(recorded), 1)
        r = recorded[0]
        self.assertEqual(r["request_line"], line)
        self.assertEqual(r["method"], "GET")
        self.assertEqual(r["path"], "/app/index.php")
        self.assertEqual(r["target"], target)
        self.assertEqual(r["query"], target.split("?", 1)[1])
        self.assertEqual(r["headers"], [["Host", "127.0.0.1"], ["user-agent", "Tester/1.0"],
                                        ["Accept-Language", "zh-CN"], ["X-Twice", "one"],
                                        ["X-Twice", "two"], ["Empty", ""], ["Connection", "close"]])
        self.assertEqual(r["client"][0], "127.0.0.1")
        self.assertIsInstance(r["time"], float)
        self.assertLessEqual(r["time"], time.monotonic())

    def test_control_endpoints_filter_and_reset(self):
        self.service.get(card_url(escape_all("欢迎您"), "5"))
        self.service.get("/card.png?name=%54&type=5")
        self.service.get("/favicon.ico")
        self.service.get("/__health")
        self.service.get("/__requests?path=/nothing")
        everything = self.service.records()
        self.assertEqual([r["path"] for r in everything], ["/app/index.php", "/card.png", "/favicon.ico"])
        self.assertEqual(sorted(everything[0]), sorted(
            ["id", "time", "client", "request_line", "method", "target", "path", "query", "headers"]))
        times = [r["time"] for r in everything]
        self.assertEqual(times, sorted(times))
        only = self.service.records("?path=/app/index.php")
        self.assertEqual(len(only), 1)
        self.assertEqual(only[0]["request_line"], everything[0]["request_line"])
        self.assertEqual(self.service.records("?path=%2Fcard.png")[0]["path"], "/card.png")
        self.assertEqual(self.service.records("?path=/none"), [])
        self.assertEqual(self.service.records("?method=HEAD"), [])
        self.assertEqual(self.service.reset(), {"cleared": 3})
        self.assertEqual(self.service.records(), [])
        self.service.get("/favicon.ico")
        self.assertEqual(len(self.service.records()), 1)

    def test_requests_json_is_ascii(self):
        self.service.get(card_url(escape_all("欢迎您"), "5"))
        self.service.raw(b"GET /x?\xff\xe6 HTTP/1.1\r\nX-Raw: \xe6\xac\xa2\r\nConnection: close\r\n\r\n")
        status, headers, body = self.service.get("/__requests")
        self.assertEqual(headers["content-type"], "application/json")
        self.assertTrue(all(b < 128 for b in body))
        recorded = json.loads(body)
        self.assertEqual(recorded[1]["query"], "\xff\xe6")
        self.assertEqual(recorded[1]["headers"][0], ["X-Raw", "\xe6\xac\xa2"])

    def test_bad_requests_are_answered_and_recorded(self):
        cases = [
            (b"GARBAGE\r\n\r\n", 400),
            (b"GET /app/index.php HTTP/2.0\r\n\r\n", 505),
            (b"GET /app/index.php?name=Tom&type=3 SPDY/3\r\n\r\n", 400),
            (b"GET  too many words HTTP/1.1\r\n\r\n", 400),
        ]
        for data, expected in cases:
            with self.subTest(data=data):
                self.assertEqual(split_response(self.service.raw(data))[0], expected)
        recorded = self.service.records()
        self.assertEqual([r["request_line"] for r in recorded],
                         [d.decode("latin-1").split("\r\n")[0] for d, _ in cases])
        self.assertEqual(recorded[1]["method"], "GET")
        self.assertEqual(recorded[1]["path"], "/app/index.php")
        # A client that goes away in the middle of its headers.
        with socket.create_connection(("127.0.0.1", self.service.port)) as s:
            s.sendall(b"GET /half HTTP/1.1\r\nHost: h\r\n")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and len(self.service.records()) < len(cases) + 1:
            time.sleep(0.05)
        self.assertEqual(self.service.records()[-1]["headers"], [["Host", "h"]])
        self.assertEqual(self.service.get("/__health")[2], b"ok")

    def test_a_300_kb_request_line_is_accepted_and_recorded_whole(self):
        name = ("爱" * 29_999) + "你"
        target = card_url(escape_all(name), "3")
        self.assertGreater(len(target), 270_000)
        line = "GET %s HTTP/1.1" % target
        referer = "http://127.0.0.1" + target  # the picture's request repeats it
        start = time.monotonic()
        data = self.service.raw(("%s\r\nHost: h\r\nReferer: %s\r\nConnection: close\r\n\r\n"
                                 % (line, referer)).encode("ascii"))
        status, _, body = split_response(data)
        self.assertEqual(status, 200)
        page = body.decode("utf-8")
        self.assertEqual(page_field(page, "card-name"), name)
        self.assertEqual(page_field(page, "card-declaration"), "我爱你")
        src = html.unescape(re.search(r'src="([^"]+)"', page).group(1))
        self.assertLess(len(src), 400)
        status, _, png = self.service.get(src, headers={"Referer": referer})
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertLess(time.monotonic() - start, 10)
        recorded = self.service.records("?path=/app/index.php")
        self.assertEqual(len(recorded), 1)
        self.assertEqual(recorded[0]["request_line"], line)
        self.assertEqual(recorded[0]["headers"][1], ["Referer", referer])
        self.assertEqual(self.service.records("?path=/card.png")[0]["headers"][-1][1], referer)

    def test_the_picture_of_a_very_long_name_is_quick(self):
        start = time.monotonic()
        status, _, png = self.service.get("/card.png?name=%s&type=1" % escape_all("名" * 30_000))
        self.assertEqual(status, 200)
        self.assertEqual(Image.open(io.BytesIO(png)).size, (480, 320))
        self.assertLess(time.monotonic() - start, 5)

    def test_keep_alive_connections(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.service.port, timeout=10)
        try:
            for code in ("1", "2", "3"):
                conn.request("GET", card_url("%54%6F%6D", code))
                resp = conn.getresponse()
                self.assertEqual(resp.status, 200)
                self.assertIn(DECLARATIONS[code], resp.read().decode("utf-8"))
        finally:
            conn.close()
        recorded = self.service.records()
        self.assertEqual(len(recorded), 3)
        self.assertEqual(len({tuple(r["client"]) for r in recorded}), 1)
        # HTTP/1.0 without keep-alive: answered, then closed.
        data = self.service.raw(("GET %s HTTP/1.0\r\n\r\n" % card_url("Tom", "4")).encode(), timeout=5)
        self.assertIn("我喜欢你", split_response(data)[2].decode("utf-8"))

    def test_concurrent_requests_are_all_recorded(self):
        names = ["用户%03d" % i for i in range(60)]
        results = {}
        held = []

        def fetch(name):
            results[name] = self.service.get(card_url(escape_all(name), "4"))

        # Idle connections must not hold the others up.
        for _ in range(5):
            s = socket.create_connection(("127.0.0.1", self.service.port))
            s.sendall(b"GET /idle HTTP/1.1\r\n")
            held.append(s)
        try:
            threads = [threading.Thread(target=fetch, args=(n,)) for n in names]
            for t in threads:
                t.start()
            for t in threads:
                t.join(30)
        finally:
            for s in held:
                s.close()
        self.assertEqual(len(results), len(names))
        for name, (status, _, body) in results.items():
            self.assertEqual(status, 200)
            self.assertEqual(page_field(body.decode("utf-8"), "card-name"), name)
        recorded = self.service.records("?path=/app/index.php")
        seen = []
        for r in recorded:
            query = r["query"]
            raw = urllib.parse.parse_qs(query)["name"][0]
            seen.append(raw)
        self.assertEqual(sorted(seen), sorted(names))
        self.assertEqual(len({r["id"] for r in recorded}), len(names))


class ProcessTest(unittest.TestCase):
    def test_port_printed_log_file_quiet_stderr_and_sigterm(self):
        service = Service()
        try:
            self.assertEqual(service.printed_port, service.port)
            self.assertEqual(read(service.pidfile).strip(), str(service.proc.pid))
            service.get(card_url("Tom", "3"))
            service.get("/favicon.ico")
            service.raw(b"NONSENSE\r\n\r\n")
            service.get("/__health")
            lines = [json.loads(line) for line in read(service.log).splitlines()]
            self.assertEqual([r["path"] for r in lines], ["/app/index.php", "/favicon.ico", ""])
            self.assertEqual(lines, service.records())
            service.proc.send_signal(signal.SIGTERM)
            self.assertEqual(service.proc.wait(10), 0)
            self.assertFalse(os.path.exists(service.pidfile))
            self.assertFalse(os.path.exists(service.ready))
            service.stderr.flush()
            self.assertEqual(read(service.stderr_path, "rb"), b"")
        finally:
            service.stop()

    def test_sigint_stops_it_too(self):
        service = Service()
        try:
            service.proc.send_signal(signal.SIGINT)
            self.assertEqual(service.proc.wait(10), 0)
        finally:
            service.stop()

    def test_a_busy_port_is_reported(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            s.listen(1)
            port = s.getsockname()[1]
            proc = subprocess.run([sys.executable, SERVICE, "--port", str(port)],
                                  capture_output=True, timeout=20)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"cannot listen", proc.stderr)


class ControlScriptTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.env = dict(os.environ, CARD_SERVICE_STATE_DIR=self.dir.name, CARD_SERVICE_PYTHON=sys.executable)

    def tearDown(self):
        self.ctl("stop")
        self.dir.cleanup()

    def ctl(self, *args):
        # Output through pipes, as a test runner reads it: this must not wait
        # for the background service.
        return subprocess.run(["bash", CTL, *args], env=self.env, capture_output=True, timeout=30,
                              stdin=subprocess.DEVNULL)

    def test_start_status_stop(self):
        log = os.path.join(self.dir.name, "requests.jsonl")
        started = self.ctl("start", "--port", "0", "--log", log)
        self.assertEqual(started.returncode, 0, started.stderr)
        port = int(read(os.path.join(self.dir.name, "service.port")))
        self.assertIn(b"port %d" % port, started.stdout)
        pid = int(read(os.path.join(self.dir.name, "service.pid")))

        again = self.ctl("start")
        self.assertEqual(again.returncode, 0)
        self.assertIn(b"already running", again.stdout)
        self.assertEqual(self.ctl("start", "--port", str(port)).returncode, 0)

        status = self.ctl("status")
        self.assertEqual(status.returncode, 0)
        self.assertEqual(status.stdout.decode().strip(), "running pid %d port %d" % (pid, port))
        self.assertEqual(int(self.ctl("port").stdout), port)

        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        conn.request("GET", card_url(escape_all("欢迎您"), "5"))
        self.assertIn("耍朋友不", conn.getresponse().read().decode("utf-8"))
        conn.close()
        self.assertEqual(json.loads(read(log).splitlines()[0])["path"], "/app/index.php")

        stopped = self.ctl("stop")
        self.assertEqual(stopped.returncode, 0)
        with self.assertRaises(ProcessLookupError):
            for _ in range(50):
                os.kill(pid, 0)
                time.sleep(0.1)
        self.assertEqual(self.ctl("status").returncode, 3)
        self.assertEqual(self.ctl("stop").returncode, 0)

    def test_a_stale_pid_file_is_ignored(self):
        with open(os.path.join(self.dir.name, "service.pid"), "w") as f:
            f.write("%d\n" % os.getpid())  # alive, but not the service
        self.assertEqual(self.ctl("status").returncode, 3)
        started = self.ctl("start", "--port", "0")
        self.assertEqual(started.returncode, 0, started.stderr)
        self.assertEqual(self.ctl("status").returncode, 0)

    def test_start_fails_loudly_when_it_cannot_listen(self):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            s.listen(1)
            started = self.ctl("start", "--port", str(s.getsockname()[1]))
        self.assertNotEqual(started.returncode, 0)
        self.assertIn(b"cannot listen", started.stderr)
        self.assertEqual(self.ctl("status").returncode, 3)


if __name__ == "__main__":
    unittest.main()
