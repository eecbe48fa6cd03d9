"""Tests of tools/icy_server.py over real loopback sockets."""

import json
import os
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVER = os.path.join(ROOT, "tools", "icy_server.py")
MAKE_MEDIA = os.path.join(ROOT, "tools", "make_media.sh")
TONE = "tone440_128k_44100_s.mp3"

_media_dir = None


def setUpModule():
    global _media_dir
    _media_dir = tempfile.mkdtemp(prefix="icy_media_")
    subprocess.run(["bash", MAKE_MEDIA, _media_dir], check=True, timeout=120)


def tearDownModule():
    shutil.rmtree(_media_dir, ignore_errors=True)


def start_server(*extra, lifetime=60):
    """Starts the server; returns (process, port)."""
    proc = subprocess.Popen(
        [sys.executable, SERVER, "--port", "0", "--media", _media_dir,
         "--lifetime", str(lifetime)] + list(extra),
        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    r, _, _ = select.select([proc.stdout], [], [], 30)
    if not r:
        proc.kill()
        proc.wait()
        raise AssertionError("no PORT line within 30 s")
    line = proc.stdout.readline().decode()
    m = re.fullmatch(r"PORT (\d+)\n", line)
    if not m:
        proc.kill()
        proc.wait()
        raise AssertionError("first line is not a PORT line: %r" % line)
    return proc, int(m.group(1))


def stop_server(proc):
    proc.kill()
    proc.wait(10)
    err = proc.stderr.read().decode(errors="replace")
    proc.stdout.close()
    proc.stderr.close()
    return err


class Conn:
    """A raw client connection: sends a request, reads the head and body bytes."""

    def __init__(self, port, path, headers=(), method="GET"):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        req = "%s %s HTTP/1.0\r\nHost: 127.0.0.1:%d\r\n" % (method, path, port)
        for k, v in headers:
            req += "%s: %s\r\n" % (k, v)
        self.sock.sendall(req.encode("latin-1") + b"\r\n")
        self.buf = b""
        self.eof = False

    def _fill(self, deadline):
        rest = deadline - time.monotonic()
        if rest <= 0 or self.eof:
            return False
        r, _, _ = select.select([self.sock], [], [], rest)
        if not r:
            return False
        try:
            chunk = self.sock.recv(65536)
        except ConnectionResetError:
            chunk = b""
        if not chunk:
            self.eof = True
            return False
        self.buf += chunk
        return True

    def head(self, timeout=5):
        """Returns (status line, {lower-case name: value})."""
        deadline = time.monotonic() + timeout
        while b"\r\n\r\n" not in self.buf:
            if not self._fill(deadline):
                raise AssertionError("no complete head; got %r" % self.buf[:200])
        raw, self.buf = self.buf.split(b"\r\n\r\n", 1)
        lines = raw.decode("latin-1").split("\r\n")
        headers = {}
        for line in lines[1:]:
            k, _, v = line.partition(":")
            headers[k.strip().lower()] = v.strip()
        return lines[0], headers

    def read(self, n, timeout=5):
        """Exactly n bytes (fewer only when the server closed or time ran out)."""
        deadline = time.monotonic() + timeout
        while len(self.buf) < n and self._fill(deadline):
            pass
        out, self.buf = self.buf[:n], self.buf[n:]
        return out

    def read_all(self, timeout=5):
        deadline = time.monotonic() + timeout
        while self._fill(deadline):
            pass
        out, self.buf = self.buf, b""
        return out

    def close(self):
        self.sock.close()


def get(port, path, headers=(), timeout=5):
    c = Conn(port, path, headers)
    try:
        status, hdrs = c.head(timeout)
        body = c.read_all(timeout)
        return status, hdrs, body, c.eof
    finally:
        c.close()


def split_icy(body, metaint):
    """Splits an ICY body into (audio bytes, [metadata block payloads])."""
    audio = bytearray()
    blocks = []
    i = 0
    while i < len(body):
        audio += body[i:i + metaint]
        i += metaint
        if i >= len(body):
            break
        n = body[i] * 16
        blocks.append(body[i + 1:i + 1 + n])
        i += 1 + n
    return bytes(audio), blocks


class ServerCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proc, cls.port = start_server()
        with open(os.path.join(_media_dir, TONE), "rb") as f:
            cls.tone = f.read()

    @classmethod
    def tearDownClass(cls):
        err = stop_server(cls.proc)
        assert "Traceback" not in err, err


class StreamTest(ServerCase):
    def test_metadata_blocks_sit_every_metaint_bytes(self):
        metaint = 1000
        limit = 2 * len(self.tone) + 12345   # loops over the file twice
        status, hdrs, body, eof = get(
            self.port, "/stream/%s?metaint=%d&titles=Hello%%C0%%F0&pace=0&limit=%d"
            % (TONE, metaint, limit), [("Icy-MetaData", "1")])
        self.assertEqual(status, "HTTP/1.0 200 OK")
        self.assertEqual(hdrs["icy-metaint"], "1000")
        self.assertEqual(hdrs["content-type"], "audio/mpeg")
        self.assertEqual(hdrs["icy-br"], "128")
        self.assertTrue(eof)
        audio, blocks = split_icy(body, metaint)
        # the audio between blocks is the file, looped, with nothing lost or added
        loop = self.tone * 3
        self.assertEqual(len(audio), limit)
        self.assertEqual(audio, loop[:limit])
        self.assertEqual(len(blocks), limit // metaint)
        text = b"StreamTitle='Hello\xc0\xf0';StreamUrl='';"
        self.assertEqual(blocks[0], text + b"\0" * (len(blocks[0]) - len(text)))
        self.assertEqual(len(blocks[0]) % 16, 0)
        self.assertLess(len(blocks[0]) - len(text), 16)
        full = [i for i, b in enumerate(blocks) if b]
        # unchanged title: zero-length blocks, with a resend about every 10 blocks
        self.assertEqual(blocks[1], b"")
        self.assertGreater(len(full), len(blocks) // 12)
        self.assertLess(len(full), len(blocks) // 5)
        self.assertTrue(all(blocks[i] == blocks[0] for i in full))

    def test_no_metadata_without_request_header_or_titles(self):
        limit = 50000
        status, hdrs, body, _ = get(self.port, "/stream/%s?metaint=1000&titles=A&pace=0&limit=%d"
                                    % (TONE, limit))
        self.assertNotIn("icy-metaint", hdrs)
        self.assertEqual(body, self.tone[:limit])
        # titles missing: every block is a zero length byte
        _, hdrs, body, _ = get(self.port, "/stream/%s?metaint=1000&pace=0&limit=%d" % (TONE, limit),
                               [("Icy-MetaData", "1")])
        audio, blocks = split_icy(body, 1000)
        self.assertEqual(audio, self.tone[:limit])
        self.assertEqual(blocks, [b""] * (limit // 1000))

    def test_titles_change_on_schedule(self):
        # 128 kbps = 16000 bytes/s, so a block every 1/16 s
        c = Conn(self.port, "/stream/%s?metaint=1000&titles=First|Second&title_every=0.5" % TONE,
                 [("Icy-MetaData", "1")])
        try:
            c.head()
            t0 = time.monotonic()
            seen = []
            while time.monotonic() - t0 < 1.3:
                c.read(1000, timeout=2)
                n = c.read(1, timeout=2)
                self.assertEqual(len(n), 1)
                payload = c.read(n[0] * 16, timeout=2)
                if payload:
                    title = re.match(rb"StreamTitle='(.*?)';", payload).group(1)
                    if not seen or seen[-1][1] != title:
                        seen.append((time.monotonic() - t0, title))
        finally:
            c.close()
        self.assertEqual([t for _, t in seen], [b"First", b"Second", b"First"])
        self.assertLess(seen[0][0], 0.2)
        self.assertTrue(0.35 < seen[1][0] < 0.75, seen)
        self.assertTrue(0.85 < seen[2][0] < 1.25, seen)

    def test_burst_then_real_time_pace(self):
        c = Conn(self.port, "/stream/%s?burst=65536" % TONE)
        try:
            c.head()
            t0 = time.monotonic()
            self.assertEqual(len(c.read(65536, timeout=2)), 65536)
            self.assertLess(time.monotonic() - t0, 0.5)
            t1 = time.monotonic()
            got = 0
            while time.monotonic() - t1 < 1.5:
                got += len(c.read(1000, timeout=1))
            rate = got / (time.monotonic() - t1)
        finally:
            c.close()
        self.assertTrue(16000 * 0.75 < rate < 16000 * 1.3, rate)

    def test_unpaced_stream_outruns_the_bitrate(self):
        t0 = time.monotonic()
        _, _, body, eof = get(self.port, "/stream/%s?pace=0&limit=1000000" % TONE)
        self.assertEqual(len(body), 1000000)
        self.assertTrue(eof)
        self.assertLess(time.monotonic() - t0, 5)   # 62 s of audio at 128 kbps

    def test_status_lines_and_headers(self):
        for status, line in (("http10", "HTTP/1.0 200 OK"), ("http11", "HTTP/1.1 200 OK"),
                             ("icy", "ICY 200 OK")):
            got, _, body, _ = get(self.port, "/stream/%s?status=%s&limit=100&pace=0" % (TONE, status))
            self.assertEqual(got, line)
            self.assertEqual(body, self.tone[:100])
        # bitrate from the frame header of MPEG-1, MPEG-2 and MPEG-2.5 files, and the name
        for name, br in (("tone1000_32k_22050_m.mp3", "32"), ("tone660_320k_48000_s.mp3", "320"),
                         ("tone440_8k_8000_m.mp3", "8"), ("tone770_192k_44100_s.mp2", "192")):
            if not os.path.exists(os.path.join(_media_dir, name)):
                continue   # the layer 2 file needs twolame
            _, hdrs, _, _ = get(self.port, "/stream/%s?limit=10&name=R%%E0dio" % name)
            self.assertEqual(hdrs["icy-br"], br)
            self.assertEqual(hdrs["icy-name"].encode("latin-1"), b"R\xe0dio")

    def test_content_type_and_pace_of_aac_and_ogg(self):
        for name, ctype in (("tone1000_96k_44100_s.aac", "audio/aac"), ("tone550_96k_44100_s.ogg", "audio/ogg"),
                            ("tone1320_64k_48000_s.opus", "audio/ogg"), ("chain770v_990o.ogg", "audio/ogg"),
                            (TONE, "audio/mpeg")):
            size = os.path.getsize(os.path.join(_media_dir, name))
            _, hdrs, body, _ = get(self.port, "/stream/%s?limit=64&pace=0" % name)
            self.assertEqual(hdrs["content-type"], ctype, name)
            with open(os.path.join(_media_dir, name), "rb") as f:
                self.assertEqual(body, f.read(64))
            if not name.endswith(".mp3"):
                self.assertEqual(int(hdrs["icy-br"]), round(size * 8 / 20 / 1000), name)
        _, hdrs, _, _ = get(self.port, "/stream/tone1000_96k_44100_s.aac?limit=10&ctype=audio/mpeg")
        self.assertEqual(hdrs["content-type"], "audio/mpeg")
        _, hdrs, _, _ = get(self.port, "/stream/tone1000_96k_44100_s.aac?limit=10&ctype=")
        self.assertNotIn("content-type", hdrs)

    def test_he_aac_media_are_he_aac_for_ffprobe(self):
        for name, profile in (("he1_tone1100_44100_s.aac", "HE-AAC"), ("he2_tone825_44100_s.aac", "HE-AACv2"),
                              ("tone1000_96k_44100_s.aac", "LC")):
            out = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                                  "stream=profile,sample_rate,channels", "-of", "compact",
                                  os.path.join(_media_dir, name)],
                                 capture_output=True, text=True, check=True, timeout=60).stdout.strip()
            self.assertEqual(out, "stream|profile=%s|sample_rate=44100|channels=2" % profile, name)

    def test_unknown_and_escaping_names_give_404(self):
        for path in ("/stream/nothing.mp3", "/stream/../icy_server.py", "/stream/%2E%2E%2Fx.mp3",
                     "/stream/", "/nowhere"):
            status, _, _, _ = get(self.port, path)
            self.assertEqual(status, "HTTP/1.0 404 Not Found", path)

    def test_client_leaving_mid_stream_leaves_the_server_running(self):
        for _ in range(3):
            c = Conn(self.port, "/stream/%s?pace=0" % TONE, [("Icy-MetaData", "1")])
            c.head()
            c.read(30000)
            c.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
            c.close()   # reset while the server is writing
        status, _, _, _ = get(self.port, "/version.txt")
        self.assertEqual(status, "HTTP/1.0 200 OK")


class PlaylistTest(ServerCase):
    def test_bodies(self):
        base = "http://127.0.0.1:%d" % self.port
        inner = urllib.parse.quote("/stream/%s?metaint=8192&titles=A" % TONE, safe="")
        _, hdrs, body, _ = get(self.port, "/playlist.m3u?to=%s&to=http://example.invalid/x" % inner)
        self.assertEqual(hdrs["content-type"], "audio/x-mpegurl")
        self.assertEqual(body.decode().split("\n"),
                         [base + "/stream/%s?metaint=8192&titles=A" % TONE,
                          "http://example.invalid/x", ""])

        _, _, body, _ = get(self.port, "/playlist.m3u?ext=1&to=/a&title=One")
        self.assertEqual(body.decode(), "#EXTM3U\n#EXTINF:-1,One\n%s/a\n" % base)

        _, hdrs, body, _ = get(self.port, "/playlist.pls?to=/a&to=/b")
        self.assertEqual(hdrs["content-type"], "audio/x-scpls")
        lines = body.decode().split("\n")
        self.assertEqual(lines[0], "[playlist]")
        for want in ("File1=%s/a" % base, "File2=%s/b" % base, "Title1=Entry 1", "Length2=-1",
                     "NumberOfEntries=2", "Version=2"):
            self.assertIn(want, lines)

        _, hdrs, body, _ = get(self.port, "/playlist.asx?to=%s&ctype=text/plain" % inner)
        self.assertEqual(hdrs["content-type"], "text/plain")
        text = body.decode()
        self.assertTrue(text.startswith('<asx version="3.0">'))
        self.assertIn('<ref href="%s/stream/%s?metaint=8192&amp;titles=A"/>' % (base, TONE), text)
        self.assertTrue(text.rstrip().endswith("</asx>"))
        self.assertEqual(hdrs["content-length"], str(len(body)))


class RedirectTest(ServerCase):
    def test_chain_of_hops(self):
        path = "/redirect?to=%s&code=301&hops=3" % urllib.parse.quote("/stream/%s?limit=5" % TONE,
                                                                         safe="")
        base = "http://127.0.0.1:%d" % self.port
        locations = []
        for _ in range(5):
            status, hdrs, _, _ = get(self.port, path)
            if not status.startswith("HTTP/1.0 301"):
                break
            locations.append(hdrs["location"])
            self.assertTrue(hdrs["location"].startswith(base), hdrs["location"])
            path = hdrs["location"][len(base):]
        self.assertEqual(len(locations), 3)
        self.assertEqual(locations[-1], base + "/stream/%s?limit=5" % TONE)
        self.assertEqual(status, "HTTP/1.0 200 OK")

    def test_relative_location(self):
        status, hdrs, _, _ = get(self.port, "/redirect?to=/stream/x.mp3&relative=1&code=307")
        self.assertEqual(status, "HTTP/1.0 307 Temporary Redirect")
        self.assertEqual(hdrs["location"], "/stream/x.mp3")


class MisbehaviourTest(ServerCase):
    def test_status_codes(self):
        for code in (403, 404, 500):
            status, _, body, _ = get(self.port, "/status/%d" % code)
            self.assertTrue(status.startswith("HTTP/1.0 %d " % code))
            self.assertTrue(body.startswith(str(code).encode()))

    def test_drop_sends_nothing(self):
        c = Conn(self.port, "/bad/drop")
        try:
            self.assertEqual(c.read_all(3), b"")
            self.assertTrue(c.eof)
        finally:
            c.close()

    def test_metaint_header_values(self):
        for what, value in (("huge", "2147483647"), ("overflow", "99999999999"), ("zero", "0"),
                            ("negative", "-5")):
            c = Conn(self.port, "/bad/%s-metaint?burst=20000" % what, [("Icy-MetaData", "1")])
            try:
                _, hdrs = c.head()
                self.assertEqual(hdrs["icy-metaint"], value)
                self.assertEqual(c.read(20000, timeout=3), self.tone[:20000])
            finally:
                c.close()

    def test_meta_overrun(self):
        c = Conn(self.port, "/bad/meta-overrun?pace=0", [("Icy-MetaData", "1")])
        try:
            _, hdrs = c.head()
            self.assertEqual(hdrs["icy-metaint"], "8192")
            body = c.read_all(5)
            self.assertTrue(c.eof)
        finally:
            c.close()
        step = 8192
        good = 0
        i = step
        while body[i] != 255:
            i += 1 + body[i] * 16 + step
            good += 1
        self.assertEqual(good, 3)
        self.assertLess(len(body) - i - 1, 255 * 16)

    def test_short_and_stalled_bodies(self):
        _, _, body, eof = get(self.port, "/bad/short?bytes=777")
        self.assertEqual(body, self.tone[:777])
        self.assertTrue(eof)

        c = Conn(self.port, "/bad/stall-body?after=3000")
        try:
            c.head()
            self.assertEqual(c.read(3000), self.tone[:3000])
            self.assertEqual(c.read_all(1.0), b"")
            self.assertFalse(c.eof)   # still open, silent
        finally:
            c.close()

        c = Conn(self.port, "/bad/stall-header")
        try:
            self.assertEqual(c.read_all(1.0), b"")
            self.assertFalse(c.eof)
        finally:
            c.close()

    def test_endless_and_huge_headers(self):
        c = Conn(self.port, "/bad/endless-header")
        try:
            data = c.read(100000, timeout=4)
        finally:
            c.close()
        self.assertEqual(len(data), 100000)
        self.assertTrue(data.startswith(b"HTTP/1.0 200 OK\r\n"))
        self.assertNotIn(b"\r\n\r\n", data)

        c = Conn(self.port, "/bad/huge-header")
        try:
            _, hdrs = c.head(timeout=10)
            self.assertEqual(len(hdrs["x-huge"]), 1024 * 1024)
            self.assertEqual(c.read(1000), self.tone[:1000])
        finally:
            c.close()

    def test_html_and_random(self):
        status, hdrs, body, _ = get(self.port, "/bad/html")
        self.assertEqual(status, "HTTP/1.0 200 OK")
        self.assertEqual(hdrs["content-type"], "text/html")
        self.assertIn(b"<html>", body)

        c = Conn(self.port, "/bad/random")
        try:
            _, hdrs = c.head()
            self.assertEqual(hdrs["content-type"], "audio/mpeg")
            data = c.read(8000)
        finally:
            c.close()
        self.assertEqual(len(data), 8000)
        self.assertNotEqual(data, self.tone[:8000])


class RecordTest(ServerCase):
    def test_requests_are_recorded(self):
        get(self.port, "/_requests?clear=1")
        get(self.port, "/stream/%s?limit=10" % TONE, [("User-Agent", "Tester/1.0"),
                                                       ("Icy-MetaData", "1")])
        get(self.port, "/status/404", [("User-Agent", "Other")])
        _, hdrs, body, _ = get(self.port, "/_requests")
        self.assertEqual(hdrs["content-type"], "application/json")
        recs = json.loads(body)
        self.assertEqual([r["path"] for r in recs], ["/stream/%s?limit=10" % TONE, "/status/404"])
        self.assertEqual(recs[0]["headers"]["user-agent"], "Tester/1.0")
        self.assertEqual(recs[0]["headers"]["icy-metadata"], "1")
        self.assertEqual(recs[1]["headers"]["user-agent"], "Other")


class StaticTest(unittest.TestCase):
    def test_version_and_www(self):
        www = tempfile.mkdtemp(prefix="icy_www_")
        secret = tempfile.NamedTemporaryFile(dir=os.path.dirname(www), delete=False)
        secret.write(b"secret")
        secret.close()
        try:
            os.mkdir(os.path.join(www, "logos"))
            with open(os.path.join(www, "index.html"), "wb") as f:
                f.write(b"<html>dir</html>")
            with open(os.path.join(www, "logos", "a.png"), "wb") as f:
                f.write(b"\x89PNG....")
            proc, port = start_server("--www", www, "--version-text", "2.0.7")
            try:
                _, hdrs, body, _ = get(port, "/version.txt")
                self.assertEqual(body, b"2.0.7")
                _, hdrs, body, _ = get(port, "/www/logos/a.png")
                self.assertEqual((hdrs["content-type"], body), ("image/png", b"\x89PNG...."))
                _, _, body, _ = get(port, "/www/")
                self.assertEqual(body, b"<html>dir</html>")
                name = os.path.basename(secret.name)
                for path in ("/www/../" + name, "/www/%2E%2E/" + name, "/www/logos/../../" + name):
                    status, _, body, _ = get(port, path)
                    self.assertEqual(status, "HTTP/1.0 404 Not Found", path)
            finally:
                self.assertNotIn("Traceback", stop_server(proc))
        finally:
            shutil.rmtree(www, ignore_errors=True)
            os.unlink(secret.name)


class LifecycleTest(unittest.TestCase):
    def test_lifetime_ends_the_server_with_connections_open(self):
        proc, port = start_server(lifetime=1.5)
        try:
            stalled = Conn(port, "/bad/stall-header")
            streaming = Conn(port, "/stream/%s" % TONE)
            streaming.head()
            t0 = time.monotonic()
            rc = proc.wait(6)
            self.assertEqual(rc, 0)
            self.assertLess(time.monotonic() - t0, 3)
            self.assertEqual(proc.stdout.read(), b"")   # nothing after the PORT line
            with self.assertRaises(OSError):
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
            stalled.close()
            streaming.close()
        finally:
            if proc.poll() is None:
                proc.kill()
            err = stop_server(proc)
        self.assertNotIn("Traceback", err)

    def test_refuses_a_host_outside_loopback(self):
        r = subprocess.run([sys.executable, SERVER, "--port", "0", "--media", _media_dir,
                            "--host", "0.0.0.0", "--lifetime", "2"],
                           capture_output=True, timeout=10)
        self.assertNotEqual(r.returncode, 0)
        self.assertEqual(r.stdout, b"")

    def test_makes_missing_media_before_the_port_line(self):
        d = tempfile.mkdtemp(prefix="icy_fresh_")
        try:
            proc, port = start_server("--media", d)   # the later --media wins
            try:
                self.assertTrue(os.path.isfile(os.path.join(d, TONE)))
                _, hdrs, body, _ = get(port, "/stream/tone880_128k_44100_s.mp3?limit=100")
                self.assertEqual(len(body), 100)
            finally:
                stop_server(proc)
        finally:
            shutil.rmtree(d, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
