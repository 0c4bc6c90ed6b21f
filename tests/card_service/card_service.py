#!/usr/bin/env python3
"""Local card generator service and HTTP request recorder for the tests.

The desktop tool's browser view asks a card generator service for a card page:

    GET /app/index.php?c=entry&m=leo_generate&do=index&i=2&name=<%XX...>&type=<code>

This server answers those requests with a small HTML page (old-engine friendly
markup) showing a PNG card that it draws itself, and records every request it
receives exactly as it arrived, so that tests can check what the tool sent.

Endpoints
    GET /app/index.php   the card page (always 200; an unknown type code gives
                         a page saying so and listing the codes 1 to 5)
    GET /card.png        the card picture (?name=<percent-encoded UTF-8>&type=<1-5>)
    anything else        404 (still recorded)

Control endpoints (never recorded)
    GET /__health                  "ok"
    GET /__requests                the records as a JSON list
    GET /__requests?path=P         only the records whose path is P
    GET /__requests?method=M       only the records whose method is M
    GET /__reset                   clears the in-memory records

Each record is an object with the keys
    id, time, client, request_line, method, target, path, query, headers
where request_line is the raw line (without CRLF) decoded as latin-1, headers is
a list of [name, value] pairs in the order received, time is a monotonic clock
reading and client is [address, port].
"""

import argparse
import functools
import html
import http.client
import http.server
import io
import json
import math
import os
import re
import signal
import socket
import sys
import threading
import time
import urllib.parse

# A 30,000-character Chinese name is 90,000 UTF-8 bytes, 270,000 characters
# once every byte is written as %XX; keep well clear of that.
MAX_REQUEST_LINE = 4 * 1024 * 1024
MAX_HEADER_LINE = 4 * 1024 * 1024  # the Referer of the picture repeats the page URL
MAX_HEADERS = 1000
MAX_HEADER_BYTES = 16 * 1024 * 1024
MAX_BODY = 16 * 1024 * 1024

CONTROL_PATHS = ("/__health", "/__requests", "/__reset")

DECLARATIONS = {
    "1": "嫁给我吧",
    "2": "来娶我吧",
    "3": "我爱你",
    "4": "我喜欢你",
    "5": "耍朋友不",
}

WELCOME_NAME = "欢迎您"
WELCOME_TYPE = "5"

# The picture shows at most this many characters of the name; longer names end
# with an ellipsis. The image link carries no more than that either.
MAX_DRAWN_NAME = 16

CARD_WIDTH = 480
CARD_HEIGHT = 320

FONT_CANDIDATES = (
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
    "/usr/share/fonts/wqy-microhei/wqy-microhei.ttc",
)

_SPACES = re.compile(r"[ \t]+")


# ---------------------------------------------------------------------------
# Query handling


def split_query(query):
    """Splits a raw query (latin-1 text, as on the request line) into a list of
    (key bytes, value bytes) with the percent-escapes and '+' decoded."""
    raw = query.encode("latin-1", "replace")
    pairs = []
    for part in raw.split(b"&"):
        if not part:
            continue
        key, _, value = part.partition(b"=")
        key = urllib.parse.unquote_to_bytes(key.replace(b"+", b" "))
        value = urllib.parse.unquote_to_bytes(value.replace(b"+", b" "))
        pairs.append((key, value))
    return pairs


def query_value(pairs, key):
    """The value of a parameter; when it is given more than once the last one
    wins, as in the usual server-side scripting engines. None when absent."""
    found = None
    for k, v in pairs:
        if k == key:
            found = v
    return found


def decode_text(raw):
    """Bytes from the query as text: UTF-8, bad bytes replaced."""
    if raw is None:
        return ""
    return raw.decode("utf-8", "replace")


def declaration_of(type_raw):
    """The declaration of a type code (bytes) or None when the code is unknown.
    Only the exact texts 1 to 5 are codes."""
    if type_raw is None:
        return None
    try:
        text = type_raw.decode("ascii")
    except UnicodeDecodeError:
        return None
    return DECLARATIONS.get(text)


def drawn_name(name):
    """The part of a name that the picture shows."""
    name = "".join(" " if (ord(ch) < 32 or 0x7F <= ord(ch) < 0xA0) else ch for ch in name)
    if len(name) > MAX_DRAWN_NAME:
        name = name[: MAX_DRAWN_NAME - 1] + "…"
    return name


# ---------------------------------------------------------------------------
# Pages


def _html_page(title, body):
    return (
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">\n'
        "<html>\n<head>\n"
        '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">\n'
        "<title>%s</title>\n"
        '<style type="text/css">\n'
        "body { margin: 0; padding: 16px; background-color: #fff0f3; color: #5a1a2a;"
        " font-family: 'Microsoft YaHei', SimSun, sans-serif; text-align: center; }\n"
        "table.card { margin: 0 auto; }\n"
        "#card-name { font-size: 20px; font-weight: bold; word-wrap: break-word; }\n"
        "#card-declaration { font-size: 28px; color: #d0284a; }\n"
        "#card-error { font-size: 18px; color: #a01830; }\n"
        "</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
    ) % (html.escape(title), body)


def card_page(name, declaration, code):
    image_query = "name=%s&type=%s" % (
        urllib.parse.quote(drawn_name(name).encode("utf-8"), safe=""),
        code,
    )
    alt = "%s %s" % (drawn_name(name), declaration)
    body = (
        '<table class="card" cellspacing="0" cellpadding="4" width="%d">\n'
        '<tr><td align="center"><img id="card-image" src="/card.png?%s"'
        ' width="%d" height="%d" alt="%s" border="0"></td></tr>\n'
        '<tr><td align="center"><div id="card-name">%s</div></td></tr>\n'
        '<tr><td align="center"><div id="card-declaration">%s</div></td></tr>\n'
        '<tr><td align="center"><div id="card-type">%s</div></td></tr>\n'
        "</table>"
    ) % (
        CARD_WIDTH + 8,
        html.escape(image_query),
        CARD_WIDTH,
        CARD_HEIGHT,
        html.escape(alt),
        html.escape(name),
        html.escape(declaration),
        html.escape(code),
    )
    return _html_page("%s %s" % (drawn_name(name), declaration), body)


def unknown_type_page(type_text):
    codes = "".join(
        "<li>%s %s</li>\n" % (code, html.escape(text)) for code, text in sorted(DECLARATIONS.items())
    )
    shown = "（空）" if type_text == "" else "“%s”" % html.escape(type_text)
    body = (
        '<div id="card-error">\n'
        "<p>类型代码%s未知。类型代码为 1 到 5：</p>\n"
        "<p>Unknown type code; the codes are 1 to 5.</p>\n"
        '<ul style="list-style: none; padding: 0;">\n%s</ul>\n'
        "</div>"
    ) % (shown, codes)
    return _html_page("未知的类型代码", body)


def not_found_page(path):
    body = '<div id="card-error"><p>没有这个页面：%s</p><p>Not found.</p></div>' % html.escape(path)
    return _html_page("404", body)


# ---------------------------------------------------------------------------
# Picture


class CardPainter:
    """Draws the card pictures; Pillow and the font are loaded on first use so
    that the pages and the recorder work even where Pillow is missing."""

    def __init__(self, font_path=None):
        self._font_path = font_path
        self._lock = threading.Lock()
        self._image = None
        self._font_file = None
        self._resolved = False

    def _resolve(self):
        if self._resolved:
            return
        from PIL import Image, ImageDraw, ImageFont  # noqa: F401

        self._image = (Image, ImageDraw, ImageFont)
        paths = [self._font_path] if self._font_path else list(FONT_CANDIDATES)
        for path in paths:
            if path and os.path.exists(path):
                self._font_file = path
                break
        self._resolved = True

    @functools.lru_cache(maxsize=64)
    def _font(self, size):
        _, _, ImageFont = self._image
        if self._font_file:
            try:
                return ImageFont.truetype(self._font_file, size, index=0)
            except OSError:
                pass
        return ImageFont.load_default()

    def _fitted_font(self, draw, text, max_width, largest, smallest):
        size = largest
        while True:
            font = self._font(size)
            if size <= smallest or draw.textlength(text, font=font) <= max_width:
                return font
            size -= 2

    def png(self, name, code):
        with self._lock:
            return self._png(drawn_name(name), code)

    @functools.lru_cache(maxsize=256)
    def _png(self, name, code):
        self._resolve()
        Image, ImageDraw, _ = self._image
        declaration = DECLARATIONS.get(code)
        w, h = CARD_WIDTH, CARD_HEIGHT
        image = Image.new("RGB", (w, h), (255, 240, 243))
        draw = ImageDraw.Draw(image)

        # Background: a soft vertical gradient, greyer for an unknown code.
        top, bottom = ((255, 236, 240), (255, 196, 210)) if declaration else ((236, 236, 240), (200, 200, 210))
        for y in range(h):
            t = y / (h - 1)
            colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            draw.line([(0, y), (w, y)], fill=colour)
        draw.rounded_rectangle([8, 8, w - 9, h - 9], radius=18, outline=(255, 255, 255), width=3)

        # The heart: the classic parametric curve, centred under the name.
        cx, cy, scale = w / 2, 178, 6.2
        points = []
        for i in range(180):
            t = 2 * math.pi * i / 180
            x = 16 * math.sin(t) ** 3
            y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
            points.append((cx + x * scale, cy - y * scale))
        heart = (222, 40, 74) if declaration else (150, 150, 160)
        shadow = [(x + 4, y + 5) for x, y in points]
        draw.polygon(shadow, fill=(190, 120, 140) if declaration else (170, 170, 180))
        draw.polygon(points, fill=heart)

        # Small hearts in the corners.
        for (hx, hy) in ((44, 44), (w - 44, 44), (44, h - 40), (w - 44, h - 40)):
            small = []
            for i in range(60):
                t = 2 * math.pi * i / 60
                x = 16 * math.sin(t) ** 3
                y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
                small.append((hx + x * 0.9, hy - y * 0.9))
            draw.polygon(small, fill=(255, 255, 255))

        # The name above the heart, the declaration inside it.
        name_font = self._fitted_font(draw, name, w - 120, 32, 12)
        draw.text((cx, 48), name, font=name_font, fill=(110, 20, 40), anchor="mm")
        text = declaration if declaration else "?"
        text_font = self._fitted_font(draw, text, 150, 34, 14)
        draw.text((cx, cy - 8), text, font=text_font, fill=(255, 255, 255), anchor="mm")

        out = io.BytesIO()
        image.save(out, format="PNG", optimize=False)
        return out.getvalue()


# ---------------------------------------------------------------------------
# Recorder


class Recorder:
    def __init__(self, log_path=None):
        self._lock = threading.Lock()
        self._records = []
        self._next_id = 1
        self._log = open(log_path, "a", encoding="ascii") if log_path else None

    def add(self, record):
        with self._lock:
            record["id"] = self._next_id
            self._next_id += 1
            self._records.append(record)
            if self._log is not None:
                self._log.write(json.dumps(record) + "\n")
                self._log.flush()

    def list(self, path=None, method=None):
        with self._lock:
            return [
                r
                for r in self._records
                if (path is None or r["path"] == path) and (method is None or r["method"] == method)
            ]

    def reset(self):
        with self._lock:
            n = len(self._records)
            self._records = []
            return n

    def close(self):
        with self._lock:
            if self._log is not None:
                self._log.close()
                self._log = None


# ---------------------------------------------------------------------------
# HTTP


class BadRequest(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


def split_target(target):
    """(path, query) of a request target; the query is the raw text after the
    first '?', the path is kept as sent (no decoding)."""
    rest = target
    if re.match(r"^[A-Za-z][A-Za-z0-9+.-]*://", rest):
        # absolute form, as sent to a proxy
        after = rest.split("://", 1)[1]
        slash = after.find("/")
        qmark = after.find("?")
        if slash < 0 or (0 <= qmark < slash):
            rest = "/" + (after[qmark:] if qmark >= 0 else "")
        else:
            rest = after[slash:]
    path, sep, query = rest.partition("?")
    path = path.split("#", 1)[0]
    query = query.split("#", 1)[0]
    return path, query


class CardRequestHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CardService/1.0"
    sys_version = ""
    timeout = 60

    def version_string(self):
        return self.server_version

    # -- reading ------------------------------------------------------------

    def handle_one_request(self):
        self.command = ""
        self.request_version = "HTTP/1.0"
        self.requestline = ""
        self.close_connection = True
        try:
            raw = self.rfile.readline(MAX_REQUEST_LINE + 1)
        except (TimeoutError, socket.timeout, OSError):
            return
        if not raw:
            return
        when = time.monotonic()
        self.raw_requestline = raw
        line = raw.decode("latin-1")
        if line.endswith("\n"):
            line = line[:-1]
            if line.endswith("\r"):
                line = line[:-1]
        self.requestline = line
        record = {
            "time": when,
            "client": list(self.client_address[:2]) if self.client_address else None,
            "request_line": line,
            "method": "",
            "target": "",
            "path": "",
            "query": "",
            "headers": [],
        }
        try:
            try:
                if len(raw) > MAX_REQUEST_LINE:
                    record["truncated"] = True
                    raise BadRequest(414, "Request line too long")
                self._parse_request_line(record)
                self._read_headers(record)
            except BadRequest as err:
                self._record(record)
                self.close_connection = True
                self._send_error_page(err.status, str(err))
                return
            self._record(record)
            self._read_body()
            self._dispatch(record)
            self.wfile.flush()
        except (TimeoutError, socket.timeout):
            self.close_connection = True
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.close_connection = True
        except Exception as err:  # never let one request take the server down
            self.close_connection = True
            if self.server.verbose:
                import traceback

                traceback.print_exc()
            try:
                self._send_error_page(500, "Internal error: %s" % type(err).__name__)
            except Exception:
                pass

    def _parse_request_line(self, record):
        words = _SPACES.split(self.requestline.strip(" \t"))
        if len(words) != 3 or not words[0]:
            if len(words) >= 1:
                record["method"] = words[0]
            if len(words) >= 2:
                record["target"] = words[1]
                record["path"], record["query"] = split_target(words[1])
            raise BadRequest(400, "Bad request line")
        method, target, version = words
        record["method"] = method
        record["target"] = target
        record["path"], record["query"] = split_target(target)
        self.command = method
        self.path = target
        m = re.match(r"^HTTP/(\d+)\.(\d+)$", version)
        if not m:
            raise BadRequest(400, "Bad HTTP version")
        major, minor = int(m.group(1)), int(m.group(2))
        if major != 1:
            raise BadRequest(505, "HTTP version not supported")
        self.request_version = version
        self.close_connection = minor < 1

    def _read_headers(self, record):
        pairs = []
        try:
            self._read_header_lines(pairs)
        finally:
            record["headers"] = [list(p) for p in pairs]
        message = http.client.HTTPMessage()
        for name, value in pairs:
            if name and "\r" not in name and "\n" not in name:
                message[name] = value
        self.headers = message
        connection = (message.get("Connection") or "").lower()
        if "close" in connection:
            self.close_connection = True
        elif "keep-alive" in connection:
            self.close_connection = False

    def _read_header_lines(self, pairs):
        total = 0
        while True:
            line = self.rfile.readline(MAX_HEADER_LINE + 1)
            if not line:
                raise BadRequest(400, "Connection closed inside the headers")
            if len(line) > MAX_HEADER_LINE:
                raise BadRequest(431, "Header line too long")
            total += len(line)
            if total > MAX_HEADER_BYTES or len(pairs) > MAX_HEADERS:
                raise BadRequest(431, "Too many headers")
            if line in (b"\r\n", b"\n"):
                break
            text = line.decode("latin-1").rstrip("\r\n")
            if text[:1] in (" ", "\t") and pairs:
                name, value = pairs[-1]
                pairs[-1] = (name, (value + " " + text.strip(" \t")).strip(" \t"))
                continue
            name, sep, value = text.partition(":")
            pairs.append((name, value.strip(" \t")))

    def _read_body(self):
        length = self.headers.get("Content-Length")
        if self.headers.get("Transfer-Encoding"):
            # No chunked bodies here: answer, then drop the connection.
            self.close_connection = True
            return
        if length is None:
            return
        try:
            n = int(length)
        except ValueError:
            self.close_connection = True
            return
        if n < 0 or n > MAX_BODY:
            self.close_connection = True
            return
        if (self.headers.get("Expect") or "").lower() == "100-continue" and self.request_version == "HTTP/1.1":
            self.send_response_only(100)
            self.end_headers()
        while n > 0:
            chunk = self.rfile.read(min(n, 65536))
            if not chunk:
                self.close_connection = True
                return
            n -= len(chunk)

    def _record(self, record):
        if record["path"] in CONTROL_PATHS:
            return
        self.server.recorder.add(record)

    # -- answering ----------------------------------------------------------

    def _send(self, status, content_type, body, extra_headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        for name, value in extra_headers:
            self.send_header(name, value)
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _send_error_page(self, status, message):
        self.close_connection = True
        body = _html_page(
            "%d" % status, '<div id="card-error"><p>%d %s</p></div>' % (status, html.escape(message))
        ).encode("utf-8")
        self._send(status, "text/html; charset=UTF-8", body)

    def _dispatch(self, record):
        path, query = record["path"], record["query"]
        method = self.command
        if path in CONTROL_PATHS:
            if method not in ("GET", "HEAD"):
                self._send(405, "text/plain; charset=us-ascii", b"GET only\n", [("Allow", "GET, HEAD")])
                return
            self._control(path, query)
            return
        if method not in ("GET", "HEAD"):
            body = _html_page("405", '<div id="card-error"><p>405 Method not allowed</p></div>').encode("utf-8")
            self._send(405, "text/html; charset=UTF-8", body, [("Allow", "GET, HEAD")])
            return
        if path == "/app/index.php":
            self._card_page(query)
        elif path == "/card.png":
            self._card_png(query)
        else:
            self._send(404, "text/html; charset=UTF-8", not_found_page(path).encode("utf-8"))

    def _card_page(self, query):
        pairs = split_query(query)
        name = decode_text(query_value(pairs, b"name"))
        type_raw = query_value(pairs, b"type")
        declaration = declaration_of(type_raw)
        if declaration is None:
            page = unknown_type_page(decode_text(type_raw))
        else:
            page = card_page(name, declaration, type_raw.decode("ascii"))
        self._send(200, "text/html; charset=UTF-8", page.encode("utf-8"))

    def _card_png(self, query):
        pairs = split_query(query)
        name = decode_text(query_value(pairs, b"name"))
        type_raw = query_value(pairs, b"type")
        code = type_raw.decode("ascii") if declaration_of(type_raw) else ""
        try:
            png = self.server.painter.png(name, code)
        except ImportError:
            self._send(503, "text/plain; charset=us-ascii", b"Pillow is not installed\n")
            return
        self._send(200, "image/png", png)

    def _control(self, path, query):
        if path == "/__health":
            self._send(200, "text/plain; charset=us-ascii", b"ok")
            return
        if path == "/__reset":
            n = self.server.recorder.reset()
            self._send(200, "application/json", json.dumps({"cleared": n}).encode("ascii"))
            return
        params = urllib.parse.parse_qs(query, keep_blank_values=True, encoding="utf-8", errors="replace")
        wanted_path = params.get("path", [None])[-1]
        wanted_method = params.get("method", [None])[-1]
        records = self.server.recorder.list(path=wanted_path, method=wanted_method)
        body = json.dumps(records).encode("ascii")
        self._send(200, "application/json", body)

    # -- quiet unless asked -------------------------------------------------

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("%s - %s\n" % (self.address_string(), format % args))


class CardServer(http.server.ThreadingHTTPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 128

    def __init__(self, address, recorder, painter, verbose=False):
        self.recorder = recorder
        self.painter = painter
        self.verbose = verbose
        super().__init__(address, CardRequestHandler)

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def _write_atomically(path, text):
    tmp = "%s.tmp.%d" % (path, os.getpid())
    with open(tmp, "w", encoding="ascii") as f:
        f.write(text)
    os.replace(tmp, path)


def _remove_if_ours(path, content):
    try:
        with open(path, encoding="ascii") as f:
            if f.read().strip() == content:
                os.remove(path)
    except OSError:
        pass


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local card generator service and request recorder.")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=80, help="port to listen on; 0 picks a free one (default 80)")
    parser.add_argument("--log", metavar="FILE", help="also append every record to FILE as a JSON line")
    parser.add_argument("--pidfile", metavar="FILE", help="write the process id to FILE")
    parser.add_argument("--ready-file", metavar="FILE", help="write the bound port to FILE once listening")
    parser.add_argument("--font", metavar="FILE", help="font for the card picture (default: WenQuanYi Micro Hei)")
    parser.add_argument("--verbose", action="store_true", help="log each request and error to stderr")
    args = parser.parse_args(argv)

    def stop(signum, frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    recorder = Recorder(args.log)
    try:
        server = CardServer((args.host, args.port), recorder, CardPainter(args.font), args.verbose)
    except OSError as err:
        sys.stderr.write("card_service: cannot listen on %s:%d: %s\n" % (args.host, args.port, err))
        return 1
    port = server.server_address[1]
    pid = str(os.getpid())
    try:
        if args.pidfile:
            _write_atomically(args.pidfile, pid + "\n")
        if args.ready_file:
            _write_atomically(args.ready_file, "%d\n" % port)
        try:
            print(port, flush=True)
        except (OSError, ValueError):
            pass
        server.serve_forever(poll_interval=0.2)
    except SystemExit:
        pass
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        server.server_close()
        recorder.close()
        if args.pidfile:
            _remove_if_ours(args.pidfile, pid)
        if args.ready_file:
            _remove_if_ours(args.ready_file, str(port))
    return 0


if __name__ == "__main__":
    sys.exit(main())
