#!/usr/bin/env python3
"""Loopback HTTP/ICY server for tests and demos.

Serves looping MP3 streams with ICY metadata, playlists, redirects and a set of
deliberately broken answers. Binds to 127.0.0.0/8 only, prints "PORT <n>" as the
first line of stdout and exits by itself after --lifetime seconds.
See tools/README.md for the endpoints.
"""

import argparse
import html
import ipaddress
import json
import mimetypes
import os
import posixpath
import select
import socket
import subprocess
import sys
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FILE = "tone440_128k_44100_s.mp3"
HEAD_LIMIT = 64 * 1024
STEP = 0.25  # longest single wait, so every loop notices the deadline

REASONS = {
    200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
    307: "Temporary Redirect", 308: "Permanent Redirect", 400: "Bad Request",
    401: "Unauthorized", 403: "Forbidden", 404: "Not Found", 405: "Method Not Allowed",
    500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable",
}

# MPEG audio frame header tables
_BITRATES = {
    # (version_is_1, layer): kbps by index
    (True, 1): [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (True, 2): [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (True, 3): [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (False, 1): [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (False, 2): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
    (False, 3): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}


# Content-Type by file extension; MPEG audio otherwise
CONTENT_TYPES = {".aac": "audio/aac", ".ogg": "audio/ogg", ".opus": "audio/ogg"}
MEDIA_SECONDS = 20  # length of every file make_media.sh writes


class Gone(Exception):
    """The client left or the server's lifetime ended."""


def mpeg_kbps(data):
    """Bitrate of the first MPEG audio frame header in data, or 0."""
    for i in range(min(len(data) - 3, 64 * 1024)):
        if data[i] != 0xFF or (data[i + 1] & 0xE0) != 0xE0:
            continue
        ver = (data[i + 1] >> 3) & 3   # 0: 2.5, 2: 2, 3: 1
        layer_bits = (data[i + 1] >> 1) & 3
        idx = data[i + 2] >> 4
        if ver == 1 or layer_bits == 0 or idx in (0, 15) or (data[i + 2] >> 2) & 3 == 3:
            continue
        layer = 4 - layer_bits
        return _BITRATES[(ver == 3, layer)][idx]
    return 0


def kbps_from_name(name):
    for part in name.split("_"):
        if part.endswith("k") and part[:-1].isdigit():
            return int(part[:-1])
    return 0


class Query:
    """Query string with repeated keys; values decode to str or raw bytes."""

    def __init__(self, qs):
        self.items = []
        for piece in qs.split("&"):
            if not piece:
                continue
            k, _, v = piece.partition("=")
            self.items.append((urllib.parse.unquote_plus(k), v))

    def raw_all(self, key):
        return [v for k, v in self.items if k == key]

    def bytes(self, key, default=None):
        vals = self.raw_all(key)
        if not vals:
            return default
        return urllib.parse.unquote_to_bytes(vals[-1].replace("+", " "))

    def str(self, key, default=None):
        vals = self.raw_all(key)
        if not vals:
            return default
        return urllib.parse.unquote_plus(vals[-1])

    def strs(self, key):
        return [urllib.parse.unquote_plus(v) for v in self.raw_all(key)]

    def int(self, key, default):
        v = self.str(key)
        if v is None or v == "":
            return default
        try:
            return int(v)
        except ValueError:
            return default

    def float(self, key, default):
        v = self.str(key)
        try:
            return float(v) if v not in (None, "") else default
        except ValueError:
            return default


class Server:
    def __init__(self, args):
        self.args = args
        self.media = os.path.abspath(args.media)
        self.www = os.path.abspath(args.www) if args.www else None
        self.deadline = time.monotonic() + args.lifetime
        self.host = args.host
        self.port = 0
        self.requests = []
        self.lock = threading.Lock()
        self.cache = {}

    # ---------- plumbing ----------

    def log(self, msg):
        if self.args.verbose:
            sys.stderr.write("icy_server: %s\n" % msg)
            sys.stderr.flush()

    def left(self):
        return self.deadline - time.monotonic()

    def sleep(self, seconds):
        end = time.monotonic() + seconds
        while True:
            rest = min(end - time.monotonic(), self.left())
            if rest <= 0:
                if self.left() <= 0:
                    raise Gone()
                return
            time.sleep(min(rest, STEP))

    def send(self, conn, data):
        view = memoryview(data)
        while view:
            if self.left() <= 0:
                raise Gone()
            try:
                _, w, _ = select.select([], [conn], [], STEP)
                if not w:
                    continue
                n = conn.send(view)
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                raise Gone()
            view = view[n:]

    def wait_client_gone(self, conn):
        """Hold the connection, reading and discarding, until the client closes."""
        while self.left() > 0:
            try:
                r, _, _ = select.select([conn], [], [], STEP)
                if r and not conn.recv(65536):
                    return
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                return
        raise Gone()

    def media_data(self, name):
        with self.lock:
            data = self.cache.get(name)
            if data is None:
                with open(os.path.join(self.media, name), "rb") as f:
                    data = f.read()
                self.cache[name] = data
            return data

    def media_path_ok(self, name):
        if not name or "/" in name or "\\" in name or "\0" in name or name.startswith("."):
            return False
        return os.path.isfile(os.path.join(self.media, name))

    def base_url(self):
        return "http://%s:%d" % (self.host, self.port)

    def abs_url(self, path):
        if path.startswith("http://") or path.startswith("https://"):
            return path
        if not path.startswith("/"):
            path = "/" + path
        return self.base_url() + path

    # ---------- responses ----------

    def head(self, conn, status_line, headers):
        out = [status_line.encode("latin-1") if isinstance(status_line, str) else status_line]
        for k, v in headers:
            if isinstance(v, str):
                v = v.encode("latin-1", "replace")
            out.append(k.encode("latin-1") + b": " + v)
        self.send(conn, b"\r\n".join(out) + b"\r\n\r\n")

    def simple(self, conn, req, code, body, ctype="text/plain", extra=()):
        if isinstance(body, str):
            body = body.encode("utf-8")
        headers = [("Content-Type", ctype), ("Content-Length", str(len(body))),
                   ("Connection", "close")] + list(extra)
        self.head(conn, "HTTP/1.0 %d %s" % (code, REASONS.get(code, "Status")), headers)
        if req["method"] != "HEAD":
            self.send(conn, body)

    def not_found(self, conn, req):
        self.simple(conn, req, 404, "404 Not Found\n")

    def stream(self, conn, req, name, q, metaint=None, meta_header=None, status_line=None,
               limit=None, overrun_after=None, stall_after=None, random_data=False):
        """Looping paced audio with optional ICY metadata."""
        data = os.urandom(16384) if random_data else self.media_data(name)
        ext = os.path.splitext(name)[1].lower()
        ctype = q.str("ctype", CONTENT_TYPES.get(ext, "audio/mpeg"))
        if random_data:
            kbps = 128
        elif ext in CONTENT_TYPES:
            # variable bitrates: paced by the file's average
            kbps = max(8, round(len(data) * 8 / MEDIA_SECONDS / 1000))
        else:
            kbps = mpeg_kbps(data) or kbps_from_name(name) or 128
        status = q.str("status", "http10")
        if status_line is None:
            status_line = {"icy": "ICY 200 OK", "http11": "HTTP/1.1 200 OK"}.get(
                status, "HTTP/1.0 200 OK")
        want_meta = req["headers"].get("icy-metadata", "").strip() == "1"
        if metaint is None:
            metaint = q.int("metaint", 16000)
        if not want_meta:
            metaint = 0
        headers = [("Content-Type", ctype)] if ctype else []
        headers += [("icy-br", str(kbps)), ("icy-name", q.bytes("name", name.encode("utf-8")))]
        if meta_header is not None:
            headers.append(("icy-metaint", meta_header))
            metaint = 0  # the broken header values carry no metadata blocks
        elif metaint > 0:
            headers.append(("icy-metaint", str(metaint)))
        if status_line.startswith("HTTP/1.1"):
            headers.append(("Connection", "close"))
        headers.append(("Cache-Control", "no-cache"))
        self.head(conn, status_line, headers)
        if req["method"] == "HEAD":
            return

        titles_raw = q.bytes("titles")
        titles = titles_raw.split(b"|") if titles_raw is not None else []
        title_every = q.float("title_every", 0.0)
        burst = max(0, q.int("burst", 0))
        pace = q.int("pace", 1) != 0
        if limit is None:
            limit = q.int("limit", -1)
        rate = kbps * 1000.0 / 8.0

        start = time.monotonic()
        pos = 0             # position in data
        sent = 0            # audio bytes sent
        to_meta = metaint   # audio bytes until the next metadata block
        blocks = 0
        last_title = None
        since_title = 0

        def meta_block():
            nonlocal last_title, since_title, blocks
            blocks += 1
            if overrun_after is not None and blocks > overrun_after:
                return b"\xff" + b"StreamTitle='cut" + b"x" * 100
            if not titles:
                return b"\0"
            if title_every > 0:
                cur = titles[int((time.monotonic() - start) / title_every) % len(titles)]
            else:
                cur = titles[0]
            since_title += 1
            if cur == last_title and since_title < 10:
                return b"\0"
            last_title = cur
            since_title = 0
            text = b"StreamTitle='" + cur[:4000] + b"';StreamUrl='';"
            n = (len(text) + 15) // 16
            return bytes([n]) + text + b"\0" * (n * 16 - len(text))

        while True:
            if limit >= 0 and sent >= limit:
                return
            if stall_after is not None and sent >= stall_after:
                self.wait_client_gone(conn)
                return
            if pace and sent >= burst:
                allowed = burst + int((time.monotonic() - start) * rate)
                if allowed <= sent:
                    self.sleep(min(0.05, (sent - allowed + 1) / rate + 0.001))
                    continue
                chunk = min(allowed - sent, 4096)
            elif pace:
                chunk = burst - sent
            else:
                chunk = 16384
            if limit >= 0:
                chunk = min(chunk, limit - sent)
            if stall_after is not None:
                chunk = min(chunk, stall_after - sent)
            out = bytearray()
            while chunk > 0:
                n = min(chunk, len(data) - pos)
                if metaint > 0:
                    n = min(n, to_meta)
                out += data[pos:pos + n]
                pos = (pos + n) % len(data)
                chunk -= n
                sent += n
                if metaint > 0:
                    to_meta -= n
                    if to_meta == 0:
                        block = meta_block()
                        out += block
                        to_meta = metaint
                        if block[0] == 255 and overrun_after is not None:
                            self.send(conn, bytes(out))
                            return
            if random_data:
                data = os.urandom(16384)
            self.send(conn, bytes(out))

    def playlist(self, conn, req, q, kind):
        targets = [self.abs_url(t) for t in q.strs("to")]
        names = q.strs("title")
        title = lambda i: names[i] if i < len(names) else "Entry %d" % (i + 1)
        if kind == "m3u":
            ctype = "audio/x-mpegurl"
            lines = []
            if q.int("ext", 0):
                lines.append("#EXTM3U")
                for i, t in enumerate(targets):
                    lines += ["#EXTINF:-1,%s" % title(i), t]
            else:
                lines = targets
            body = "\n".join(lines) + "\n"
        elif kind == "pls":
            ctype = "audio/x-scpls"
            lines = ["[playlist]"]
            for i, t in enumerate(targets):
                lines += ["File%d=%s" % (i + 1, t), "Title%d=%s" % (i + 1, title(i)),
                          "Length%d=-1" % (i + 1)]
            lines += ["NumberOfEntries=%d" % len(targets), "Version=2"]
            body = "\n".join(lines) + "\n"
        else:
            ctype = "video/x-ms-asf"
            lines = ['<asx version="3.0">']
            for i, t in enumerate(targets):
                lines.append('<entry><title>%s</title><ref href="%s"/></entry>'
                             % (html.escape(title(i)), html.escape(t)))
            lines.append("</asx>")
            body = "\n".join(lines) + "\n"
        self.simple(conn, req, 200, body, q.str("ctype", ctype))

    def redirect(self, conn, req, q):
        to = q.str("to", "/")
        code = q.int("code", 302)
        hops = q.int("hops", 1)
        relative = q.int("relative", 0) != 0
        if hops > 1:
            params = [("to", to), ("code", code), ("hops", hops - 1)]
            if relative:
                params.append(("relative", 1))
            nxt = "/redirect?" + urllib.parse.urlencode(params)
            loc = nxt if relative else self.abs_url(nxt)
        else:
            loc = to if relative else self.abs_url(to)
        self.simple(conn, req, code, "Redirect to %s\n" % loc, extra=[("Location", loc)])

    def www_file(self, conn, req, rel):
        if not self.www:
            return self.not_found(conn, req)
        rel = urllib.parse.unquote(rel)
        parts = [p for p in rel.split("/") if p not in ("", ".")]
        if any(p == ".." or "\\" in p or "\0" in p for p in parts):
            return self.not_found(conn, req)
        path = os.path.join(self.www, *parts) if parts else self.www
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        real = os.path.realpath(path)
        if os.path.commonpath([real, os.path.realpath(self.www)]) != os.path.realpath(self.www) \
                or not os.path.isfile(real):
            return self.not_found(conn, req)
        with open(real, "rb") as f:
            body = f.read()
        ctype = mimetypes.guess_type(real)[0] or "application/octet-stream"
        self.simple(conn, req, 200, body, ctype)

    # ---------- dispatch ----------

    def read_request(self, conn):
        buf = b""
        while b"\r\n\r\n" not in buf and b"\n\n" not in buf:
            if len(buf) > HEAD_LIMIT or self.left() <= 0:
                return None
            try:
                r, _, _ = select.select([conn], [], [], STEP)
                if not r:
                    continue
                chunk = conn.recv(8192)
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                return None
            if not chunk:
                return None
            buf += chunk
        head = buf.replace(b"\r\n", b"\n").split(b"\n\n", 1)[0].decode("latin-1")
        lines = head.split("\n")
        parts = lines[0].split()
        if len(parts) < 2:
            return None
        target = parts[1]
        if target.startswith("http://"):
            target = "/" + target[7:].partition("/")[2]
        headers = {}
        for line in lines[1:]:
            k, sep, v = line.partition(":")
            if sep:
                k = k.strip().lower()
                v = v.strip()
                headers[k] = headers[k] + ", " + v if k in headers else v
        return {"method": parts[0].upper(), "path": target, "headers": headers}

    def handle(self, conn, addr):
        conn.setblocking(False)
        try:
            req = self.read_request(conn)
            if req is None:
                return
            path, _, qs = req["path"].partition("?")
            if path != "/_requests":
                with self.lock:
                    self.requests.append(req)
            self.log("%s %s" % (req["method"], req["path"]))
            self.dispatch(conn, req, urllib.parse.unquote(path), Query(qs))
            try:
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass
        except Gone:
            pass
        except Exception as e:  # keep the server alive whatever one connection does
            self.log("connection error: %r" % e)
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def dispatch(self, conn, req, path, q):
        if req["method"] not in ("GET", "HEAD"):
            return self.simple(conn, req, 405, "405 Method Not Allowed\n")
        if path.startswith("/stream/"):
            name = path[len("/stream/"):]
            if not self.media_path_ok(name):
                return self.not_found(conn, req)
            return self.stream(conn, req, name, q)
        if path in ("/playlist.m3u", "/playlist.pls", "/playlist.asx"):
            return self.playlist(conn, req, q, path.rsplit(".", 1)[1])
        if path == "/redirect":
            return self.redirect(conn, req, q)
        if path == "/_requests":
            with self.lock:
                body = json.dumps(self.requests, ensure_ascii=False)
                if q.int("clear", 0):
                    self.requests = []
            return self.simple(conn, req, 200, body, "application/json")
        if path == "/version.txt":
            return self.simple(conn, req, 200, self.args.version_text)
        if path == "/" and self.args.root_page:
            with open(self.args.root_page, "rb") as f:
                return self.simple(conn, req, 200, f.read(), "text/html; charset=utf-8")
        if path.startswith("/www/") or path == "/www":
            return self.www_file(conn, req, req["path"].partition("?")[0][len("/www"):])
        if path.startswith("/status/"):
            try:
                code = int(path[len("/status/"):])
            except ValueError:
                return self.not_found(conn, req)
            if not 100 <= code <= 999:
                return self.not_found(conn, req)
            return self.simple(conn, req, code, "%d %s\n" % (code, REASONS.get(code, "Status")))
        if path.startswith("/bad/"):
            return self.bad(conn, req, path[len("/bad/"):], q)
        return self.not_found(conn, req)

    def bad(self, conn, req, what, q):
        f = DEFAULT_FILE
        if what == "drop":
            return
        if what == "endless-header":
            self.send(conn, b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n")
            rate = max(1024, q.int("rate", 65536))  # bytes per second
            i = 0
            while True:
                batch = b"".join(b"X-Filler-%08d: %s\r\n" % (i + k, b"f" * 40) for k in range(32))
                i += 32
                self.send(conn, batch)
                self.sleep(len(batch) / rate)
        if what == "huge-header":
            self.send(conn, b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nX-Huge: "
                      + b"h" * (1024 * 1024) + b"\r\nicy-br: 128\r\n\r\n")
            return self.stream_body_only(conn, req, q)
        metas = {"huge-metaint": "2147483647", "overflow-metaint": "99999999999",
                 "zero-metaint": "0", "negative-metaint": "-5"}
        if what in metas:
            return self.stream(conn, req, f, q, meta_header=metas[what])
        if what == "meta-overrun":
            req = dict(req, headers=dict(req["headers"], **{"icy-metadata": "1"}))
            if not q.raw_all("titles"):
                q.items.append(("titles", "Overrun"))
            return self.stream(conn, req, f, q, metaint=8192, overrun_after=q.int("good", 3))
        if what == "html":
            page = ("<!DOCTYPE html>\n<html><head><title>Not a stream</title></head>"
                    "<body><h1>This is a web page</h1><p>No audio here.</p></body></html>\n")
            return self.simple(conn, req, 200, page, "text/html")
        if what == "random":
            return self.stream(conn, req, f, q, metaint=0, random_data=True)
        if what == "stall-header":
            return self.wait_client_gone(conn)
        if what == "stall-body":
            return self.stream(conn, req, f, q, metaint=0, stall_after=max(0, q.int("after", 16384)))
        if what == "short":
            return self.stream(conn, req, f, q, metaint=0, limit=max(0, q.int("bytes", 4096)))
        return self.not_found(conn, req)

    def stream_body_only(self, conn, req, q):
        data = self.media_data(DEFAULT_FILE)
        rate = 16000.0
        start = time.monotonic()
        sent = 0
        while True:
            allowed = int((time.monotonic() - start) * rate) + 16384
            if allowed <= sent:
                self.sleep(0.05)
                continue
            n = min(allowed - sent, 4096)
            p = sent % len(data)
            chunk = data[p:p + n]
            self.send(conn, chunk)
            sent += len(chunk)

    # ---------- main loop ----------

    def serve(self):
        lsock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        lsock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        lsock.bind((self.host, self.args.port))
        lsock.listen(64)
        self.port = lsock.getsockname()[1]
        sys.stdout.write("PORT %d\n" % self.port)
        sys.stdout.flush()
        lsock.settimeout(STEP)
        while self.left() > 0:
            try:
                conn, addr = lsock.accept()
            except socket.timeout:
                continue
            except OSError:
                time.sleep(0.05)
                continue
            threading.Thread(target=self.handle, args=(conn, addr), daemon=True).start()
        lsock.close()
        self.log("lifetime over")


REQUIRED_MEDIA = [
    "tone440_128k_44100_s.mp3", "tone880_128k_44100_s.mp3", "tone1320_128k_44100_s.mp3",
    "tone1760_128k_44100_s.mp3", "tone1000_32k_22050_m.mp3", "tone660_320k_48000_s.mp3",
    "tone550_64k_24000_s.mp3", "tone440_8k_8000_m.mp3", "tone1000_96k_44100_s.aac",
    "tone660_32k_22050_m.aac", "tone550_96k_44100_s.ogg", "tone1320_64k_48000_s.opus",
    "chain770v_990o.ogg", "he1_tone1100_44100_s.aac", "he2_tone825_44100_s.aac",
]


def ensure_media(media):
    if all(os.path.isfile(os.path.join(media, n)) for n in REQUIRED_MEDIA):
        return
    # make_media.sh writes its diagnostics to stderr; keep stdout for the PORT line
    try:
        subprocess.run(["bash", os.path.join(HERE, "make_media.sh"), media],
                       stdout=sys.stderr, check=True, timeout=300)
    except (subprocess.SubprocessError, OSError) as e:
        sys.exit("icy_server: cannot make the media in %s: %s" % (media, e))


def main(argv=None):
    ap = argparse.ArgumentParser(description="Loopback HTTP/ICY test and demo server")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--media", required=True, help="folder with the tone files")
    ap.add_argument("--lifetime", type=float, default=600.0, help="seconds until exit")
    ap.add_argument("--www", help="folder served at /www/")
    ap.add_argument("--root-page", help="file served at / (a directory site's root page)")
    ap.add_argument("--version-text", default="1.4.1", help="body of /version.txt")
    ap.add_argument("--verbose", action="store_true", help="log requests to stderr")
    args = ap.parse_args(argv)
    try:
        ok = ipaddress.ip_address(args.host) in ipaddress.ip_network("127.0.0.0/8")
    except ValueError:
        ok = False
    if not ok:
        ap.error("--host must be an address in 127.0.0.0/8")
    ensure_media(args.media)
    Server(args).serve()
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
