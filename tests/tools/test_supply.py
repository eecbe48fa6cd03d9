"""The libraries in the exe come from Debian's source packages with Debian's patches applied:
the cache of scripts/setup names each source folder, every patch of its series is applied
there, BUILDINFO.txt states the versions, and the dist folders ship that BUILDINFO.txt.
Skipped when the cache has not been set up."""

import os
import re
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEPS = os.environ.get("TIVOLNA_DEPS") or (
    "/var/cache/tivolna-deps" if os.getuid() == 0 else os.path.expanduser("~/.cache/tivolna-deps"))
# (the name in BUILDINFO, source folder under src/, Debian version it must start with)
LIBRARIES = [
    ("mpg123", "mpg123", "1.31.2-1+deb12u"),
    ("libpng", "libpng1.6", "1.6.39-2+deb12u"),
    ("giflib", "giflib", "5.2.1-2.5+deb12u"),
    ("libjpeg-turbo", "libjpeg-turbo", "1:2.1.5-"),
    ("libogg", "libogg", "1.3.5-"),
    ("FreeType", "freetype", "2.12.1+dfsg-5+deb12u"),
    ("FFmpeg", "ffmpeg", "7:5.1."),
    ("mbedTLS", "trixie/mbedtls", "3.6."),
]


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


@unittest.skipUnless(os.path.isfile(os.path.join(DEPS, "BUILDINFO.txt")), "scripts/setup has not run")
class PatchedSources(unittest.TestCase):
    def test_each_library_is_built_from_its_patched_tree_and_buildinfo_says_which(self):
        info = read(os.path.join(DEPS, "BUILDINFO.txt"))
        for name, folder, version in LIBRARIES:
            with self.subTest(name):
                ver, tree = read(os.path.join(DEPS, "src", folder, "current")).rstrip("\n").split("\t")
                self.assertTrue(ver.startswith(version), ver)
                tree = os.path.join(DEPS, "src", folder, tree)
                self.assertRegex(info, r"(?m)^%s[^:\n]*: \S+ %s \(Debian \w+\), \d+ Debian patches applied$"
                                 % (re.escape(name), re.escape(ver)))
                series = os.path.join(tree, "debian", "patches", "series")
                wanted = [l.split()[0] for l in read(series).splitlines()
                          if l.strip() and not l.startswith("#")] if os.path.isfile(series) else []
                applied_file = os.path.join(tree, ".pc", "applied-patches")
                applied = read(applied_file).split() if os.path.isfile(applied_file) else []
                self.assertEqual(applied, wanted)
        # the security fixes that were missing
        self.assertIn("CVE-2024-10573.patch", read(os.path.join(DEPS, "src/mpg123", self.tree("mpg123"),
                                                                ".pc/applied-patches")))
        self.assertGreaterEqual(
            len([p for p in read(os.path.join(DEPS, "src/libpng1.6", self.tree("libpng1.6"),
                                              ".pc/applied-patches")).split() if p.startswith("CVE-")]), 9)
        self.assertRegex(info, r"(?m)^zlib: libz-mingw-w64-dev \S+ ")

    def test_our_own_patches_are_applied_and_named(self):
        info = read(os.path.join(DEPS, "BUILDINFO.txt"))
        for name in os.listdir(os.path.join(ROOT, "scripts", "patches")):
            folder = "trixie/mbedtls" if name == "mbedtls" else name
            tree = self.tree(folder)
            self.assertIn("+ours-", tree)
            for p in os.listdir(os.path.join(ROOT, "scripts", "patches", name)):
                self.assertIn("  and ours: " + p, info)
                added = [l[1:] for l in read(os.path.join(ROOT, "scripts", "patches", name, p)).splitlines()
                         if l.startswith("+") and not l.startswith("+++") and l[1:].strip()]
                target = re.search(r"(?m)^\+\+\+ b/(\S+)", read(os.path.join(ROOT, "scripts", "patches", name, p)))
                text = read(os.path.join(DEPS, "src", folder, tree, target.group(1)))
                for line in added:
                    self.assertIn(line, text)

    def test_dist_folders_ship_the_buildinfo(self):
        info = read(os.path.join(DEPS, "BUILDINFO.txt"))
        found = 0
        for dist in ("build/dist-win32", "build/dist-win64"):
            exe = os.path.join(ROOT, dist, "tivolna.exe")
            if os.path.isfile(exe) and os.path.getmtime(exe) >= os.path.getmtime(os.path.join(DEPS, "BUILDINFO.txt")):
                found += 1
                self.assertEqual(read(os.path.join(ROOT, dist, "licenses", "BUILDINFO.txt")), info)
        if not found:
            self.skipTest("no dist folder built since setup")

    @staticmethod
    def tree(folder):
        return read(os.path.join(DEPS, "src", folder, "current")).rstrip("\n").split("\t")[1]


if __name__ == "__main__":
    unittest.main()
