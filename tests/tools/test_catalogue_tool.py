"""The catalogue tool (native build) against the loopback server as a directory site and as a
source of a JSON station list."""

import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SERVER = os.path.join(ROOT, "tools", "icy_server.py")
TOOL = os.path.join(ROOT, "build", "native", "tivolna-catalogue")
PREFIX_PATH = "/stream/tone440_128k_44100_s.mp3?station"


def block(link, logo, title):
    return ('<div class="st"><div class="t"><a href="%s"><img src="/img/play.png"></a>'
            '<a href="/s" popup="500 400"><img src="/%s" class="logo" alt="%s" width="88" height="82">'
            '</a></div></div></div>\n' % (link, logo, title))


def page(blocks):
    return ("<html><body><h3>Радиостанции</h3>\n" + "".join(blocks)
            + '<div id="footer-spacer"></div></body></html>').encode("utf-8")


def run_tool(*args, timeout=60):
    return subprocess.run([TOOL, *args], capture_output=True, timeout=timeout,
                          env=dict(os.environ, ASAN_OPTIONS="detect_leaks=1"))


def folder_bytes(path):
    return {n: open(os.path.join(path, n), "rb").read() for n in sorted(os.listdir(path))}


@unittest.skipUnless(os.path.exists(TOOL), "the native build has not been made")
class CatalogueToolTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="catalogue_tool_")
        cls.media = os.path.join(ROOT, "build", "test-media")
        www = os.path.join(cls.tmp, "www")
        os.makedirs(www)
        for name, fill in (("red.jpg", "xc:red"), ("green.gif", "xc:green"), ("blue.png", "xc:blue")):
            subprocess.run(["convert", "-size", "60x40", fill, os.path.join(www, name)], check=True)
        with open(os.path.join(www, "logo.bmp"), "wb") as f:
            f.write(b"BM" + bytes(60))
        cls.servers = []

    @classmethod
    def tearDownClass(cls):
        for proc in cls.servers:
            proc.kill()
            proc.wait(10)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def server(self, root_page):
        """A loopback server whose / is root_page; its base address."""
        path = os.path.join(self.tmp, "root%d.html" % len(self.servers))
        with open(path, "wb") as f:
            f.write(root_page)
        proc = subprocess.Popen([sys.executable, SERVER, "--port", "0", "--media", self.media,
                                 "--www", os.path.join(self.tmp, "www"), "--root-page", path,
                                 "--lifetime", "120"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.servers.append(proc)
        r, _, _ = select.select([proc.stdout], [], [], 30)
        self.assertTrue(r, "the server said nothing")
        m = re.fullmatch(rb"PORT (\d+)\n", proc.stdout.readline())
        return "http://127.0.0.1:%s" % m.group(1).decode()

    def old_catalogue(self, name):
        stations = os.path.join(self.tmp, name, "Stations")
        os.makedirs(stations)
        for n in (1, 2):
            with open(os.path.join(stations, "play%d.txt" % n), "wb") as f:
                f.write(b"http://old/\r\nOld\r\n")
            with open(os.path.join(stations, "%d.txt" % n), "wb"):
                pass
        return stations

    def test_directory_rebuild_twice(self):
        base = self.server(b"")
        prefix = base + PREFIX_PATH
        base = self.server(page([
            block(prefix + "=1", "www/red.jpg", "&laquo;Радио&raquo;"),
            block("http://elsewhere/?station=2", "www/red.jpg", "no station"),
            block(prefix + "=3", "www/green.gif", "R&#1110;ver &amp; Co"),
            block(prefix + "=4", "www/blue.png", "Синяя"),
            block(prefix + "=5", "status/404", "Нет"),
            block(prefix + "=6", "www/logo.bmp", "BMP"),
            block(prefix + "=7", "bad/drop", "Молчит"),
        ]))
        stations = self.old_catalogue("twice")
        runs = []
        for _ in range(2):
            r = run_tool("directory", "--root", base + "/", "--prefix", prefix, stations)
            out = r.stdout.decode()
            self.assertEqual(r.returncode, 0, out + r.stderr.decode())
            self.assertIn("[1/6] Радио ... JPEG", out)
            self.assertIn("[6/6] Молчит ... missing", out)
            self.assertIn("stations: 6\nlogos: JPEG 1, GIF 1, PNG 1, other kinds 1\n"
                          "no logo: 1 error answers or not pictures, 1 no answer, 0 no address\n", out)
            runs.append(folder_bytes(stations))
        self.assertEqual(runs[0], runs[1])
        files = runs[0]
        self.assertEqual(sorted(files), sorted(
            ["play%d.txt" % n for n in range(1, 7)] + ["1.jpg", "2.gif", "3.png", "4.txt", "5", "6.txt"]))
        self.assertEqual(files["play1.txt"], (prefix + "=1\r\nРадио\r\n").encode("cp1251"))
        self.assertEqual(files["play2.txt"], (prefix + "=3\r\nRiver &amp; Co\r\n").encode("cp1251"))
        self.assertEqual(files["4.txt"], b"")
        self.assertEqual(sorted(os.listdir(os.path.dirname(stations))), ["Stations"])

    def test_failures_leave_the_old_catalogue(self):
        stations = self.old_catalogue("failures")
        before = folder_bytes(stations)
        for root, code, message in (
                (self.server(b"<html>no section</html>") + "/", 1, "the page lists no station"),
                (self.server(page([])) + "/status/500", 1, "status 500"),
                ("http://127.0.0.1:9/", 1, "cannot fetch"),
        ):
            r = run_tool("directory", "--root", root, stations)
            self.assertEqual(r.returncode, code, r.stderr)
            self.assertIn(message, r.stderr.decode())
            self.assertEqual(folder_bytes(stations), before)
        self.assertEqual(run_tool("directory").returncode, 2)
        self.assertEqual(run_tool("json", "a", "b", "c").returncode, 2)

    def test_killed_in_the_middle(self):
        base = self.server(b"")
        prefix = base + PREFIX_PATH
        base = self.server(page([block(prefix + "=1", "www/red.jpg", "One"),
                                 block(prefix + "=2", "bad/stall-header", "Stalls")]))
        stations = self.old_catalogue("killed")
        before = folder_bytes(stations)
        proc = subprocess.Popen([TOOL, "directory", "--root", base + "/", "--prefix", prefix, stations],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        out = b""
        deadline = time.monotonic() + 20
        while b"[2/2]" not in out and time.monotonic() < deadline:
            r, _, _ = select.select([proc.stdout], [], [], 0.5)
            if r:
                out += os.read(proc.stdout.fileno(), 4096)
        self.assertIn(b"[2/2]", out)
        proc.send_signal(signal.SIGKILL)
        proc.wait(10)
        proc.stdout.close()
        self.assertEqual(folder_bytes(stations), before)
        self.assertTrue(os.path.isdir(stations + ".new"), "the half-built folder is beside it")
        # The next build clears what was left.
        ok = self.server(page([block(prefix + "=1", "www/red.jpg", "One")]))
        self.assertEqual(run_tool("directory", "--root", ok + "/", "--prefix", prefix, stations).returncode, 0)
        self.assertEqual(sorted(os.listdir(stations)), ["1.jpg", "play1.txt"])
        self.assertFalse(os.path.exists(stations + ".new"))

    def test_json_list_from_an_address(self):
        base = self.server(b"")
        www = os.path.join(self.tmp, "www")
        entries = [
            {"name": "Красная", "url_resolved": base + "/stream/a", "favicon": base + "/www/red.jpg",
             "countrycode": "RU", "votes": 10},
            {"name": "Bitmap", "url_resolved": base + "/stream/b", "favicon": base + "/www/logo.bmp",
             "countrycode": "RU", "votes": 30},
            {"name": "Gone", "url_resolved": base + "/stream/c", "favicon": base + "/status/404",
             "countrycode": "RU", "votes": 20},
            {"name": "Abroad", "url_resolved": base + "/stream/d", "countrycode": "DE", "votes": 99},
            {"name": "красная", "url_resolved": base + "/stream/e", "countrycode": "RU", "votes": 1},
            {"name": "Gopher", "url_resolved": "gopher://example.invalid/", "countrycode": "RU"},
        ]
        with open(os.path.join(www, "stations.json"), "w") as f:
            json.dump(entries, f, ensure_ascii=False)
        stations = self.old_catalogue("json")
        r = run_tool("json", base + "/www/stations.json", "--country", "ru", "--top", "3", stations)
        out = r.stdout.decode()
        self.assertEqual(r.returncode, 0, out + r.stderr.decode())
        self.assertIn("station list: 3 taken, 1 filtered out, 1 bad, 1 duplicate names, 0 over the limit", out)
        files = folder_bytes(stations)
        # By votes: Bitmap, Gone, Красная; only real pictures are kept, the others get drawn cards.
        self.assertEqual(files["play1.txt"], (base + "/stream/b\r\nBitmap\r\n").encode())
        self.assertEqual(files["play3.txt"], (base + "/stream/a\r\nКрасная\r\n").encode("cp1251"))
        self.assertEqual(sorted(n for n in files if not n.startswith("play")), ["1.png", "2.png", "3.jpg"])
        self.assertTrue(files["1.png"].startswith(b"\x89PNG") and files["2.png"].startswith(b"\x89PNG"))


if __name__ == "__main__":
    unittest.main()
