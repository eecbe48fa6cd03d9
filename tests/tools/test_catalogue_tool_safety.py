"""The catalogue tool's target checks, its handling of network text and its logo limits
(native build, loopback server)."""

import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_catalogue_tool import PREFIX_PATH, ROOT, SERVER, TOOL, block, folder_bytes, page, run_tool


def tree(path):
    """Every file and folder below path, with the files' bytes."""
    out = {}
    for d, dirs, files in os.walk(path):
        for n in dirs:
            out[os.path.relpath(os.path.join(d, n), path)] = None
        for n in files:
            out[os.path.relpath(os.path.join(d, n), path)] = open(os.path.join(d, n), "rb").read()
    return out


@unittest.skipUnless(os.path.exists(TOOL), "the native build has not been made")
class CatalogueToolSafetyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="catalogue_safety_")
        www = os.path.join(cls.tmp, "www")
        os.makedirs(www)
        subprocess.run(["convert", "-size", "60x40", "xc:red", os.path.join(www, "red.jpg")], check=True)
        red = open(os.path.join(www, "red.jpg"), "rb").read()
        with open(os.path.join(www, "big.jpg"), "wb") as f:
            f.write(red + bytes(512 * 1024 + 1 - len(red)))
        with open(os.path.join(www, "fake.jpg"), "wb") as f:
            f.write(b"\xff\xd8\xff\xe0 only the signature of a JPEG")
        shutil.copy(os.path.join(ROOT, "fuzz", "corpus", "jpeg", "many-scans.jpg"), www)
        cls.proc = None

    @classmethod
    def tearDownClass(cls):
        if cls.proc:
            cls.proc.kill()
            cls.proc.wait(10)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def server(self, root_page=b""):
        path = os.path.join(self.tmp, "root.html")
        with open(path, "wb") as f:
            f.write(root_page)
        if self.__class__.proc is None:
            proc = subprocess.Popen([sys.executable, SERVER, "--port", "0", "--media", os.path.join(ROOT, "build", "test-media"),
                                     "--www", os.path.join(self.tmp, "www"), "--root-page", path, "--lifetime", "120"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            self.__class__.proc = proc
            r, _, _ = select.select([proc.stdout], [], [], 30)
            self.assertTrue(r, "the server said nothing")
            self.__class__.port = re.fullmatch(rb"PORT (\d+)\n", proc.stdout.readline()).group(1).decode()
        return "http://127.0.0.1:%s" % self.port

    def test_targets_that_are_no_catalogue(self):
        work = os.path.join(self.tmp, "work")
        os.makedirs(os.path.join(work, "sub"))
        for name, data in (("notes.txt", b"mine"), ("sub/keep.doc", b"mine too"), ("play1.txt", b"x\r\n")):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        os.makedirs(os.path.join(work, "Cat"))
        os.makedirs(os.path.join(work, "Cat2.new"))
        with open(os.path.join(work, "Cat2.new", "photo.bmp"), "wb") as f:
            f.write(b"BM")
        before = tree(work)
        for target, message in ((".", "name a folder of its own"), ("..", "name a folder of its own"),
                                ("sub/..", "name a folder of its own"), ("/", "name a folder of its own"),
                                ("sub", "holds files that are not station files"),
                                ("notes.txt", "is not a folder"),
                                ("Cat2", "Cat2.new' holds files that are not station files")):
            for args in (["directory", "--root", "http://127.0.0.1:9/", target],
                         ["json", "missing.json", target]):
                r = subprocess.run([TOOL, *args], cwd=work, capture_output=True, timeout=30)
                self.assertEqual(r.returncode, 2, (args, r.stderr))
                self.assertIn(message, r.stderr.decode(), args)
                self.assertEqual(tree(work), before, args)

    def test_network_text_and_logo_limits(self):
        base = self.server()
        prefix = base + PREFIX_PATH
        base = self.server(page([block(prefix + "=1", "www/red.jpg", "Радио\r\n1\x7f"),
                                 block(prefix + "=2", "www/big.jpg", "Big")]))
        stations = os.path.join(self.tmp, "net", "Stations")
        r = run_tool("directory", "--root", base + "/", "--prefix", prefix, stations)
        out = r.stdout.decode()
        self.assertEqual(r.returncode, 0, out + r.stderr.decode())
        self.assertIn("[1/2] Радио  1  ... JPEG\n", out)
        self.assertIn("[2/2] Big ... too large\n", out)
        self.assertIn("Logos over 512 KiB, or past the catalogue's 64 MiB of logos, were dropped: station 2\n", out)
        files = folder_bytes(stations)
        self.assertEqual(files["play1.txt"], (prefix + "=1\r\nРадио  1 \r\n").encode("cp1251"))
        self.assertEqual(sorted(files), ["1.jpg", "2.txt", "play1.txt", "play2.txt"])

    def test_json_logos_are_decoded_before_they_are_kept(self):
        base = self.server()
        entries = [{"name": n, "url_resolved": base + "/stream/" + n, "favicon": base + "/www/" + logo}
                   for n, logo in (("Real", "red.jpg"), ("Fake", "fake.jpg"), ("Scans", "many-scans.jpg"),
                                   ("Big", "big.jpg"))]
        entries.append({"name": "Tab\there", "url_resolved": base + "/stream/\x01x"})
        path = os.path.join(self.tmp, "list.json")
        with open(path, "w") as f:
            json.dump(entries, f)
        stations = os.path.join(self.tmp, "json", "Stations")
        r = run_tool("json", path, "--no-drawn-logos", stations)
        out = r.stdout.decode()
        self.assertEqual(r.returncode, 0, out + r.stderr.decode())
        self.assertIn("station list: 4 taken, 0 filtered out, 1 bad", out)
        self.assertIn("no logo: 2 error answers or not pictures", out)
        self.assertEqual(sorted(n for n in folder_bytes(stations) if not n.startswith("play")),
                         ["1.jpg", "2.txt", "3.txt", "4.txt"])


if __name__ == "__main__":
    unittest.main()
