"""The catalogue tool's Windows build rebuilds a Stations folder from a loopback directory site,
and the player started on the result shows the new tiles and plays a station of them."""

import re
import subprocess
import sys
import time

from harness import LEFT, MAIN_TITLE, PROBE, REPO, TOP, cell_centre, config_txt, make_logo, windows_path

TOOL = PROBE.parent / "tivolna-catalogue.exe"

# Logo file, colour; the third station's logo is answered with 404 and gets no tile.
LOGOS = [("red.jpg", (220, 40, 40)), ("green.png", (40, 170, 60)), (None, None), ("blue.gif", (40, 80, 220))]


def block(link, logo, title):
    return ('<div class="st"><div class="t"><a href="%s"><img src="/img/play.png"></a>'
            '<a href="/s" popup="500 400"><img src="/%s" class="logo" alt="%s" width="88" height="82">'
            '</a></div></div></div>\n' % (link, logo, title))


def test_tool_builds_a_catalogue_that_the_player_shows_and_plays(player, tmp_path):
    www = tmp_path / "www"
    www.mkdir()
    for name, colour in LOGOS:
        if name:
            make_logo(www / name, name[-4:], colour)
    port_line = None
    page = tmp_path / "root.html"
    server = subprocess.Popen(
        [sys.executable, str(REPO / "tools" / "icy_server.py"), "--port", "0", "--media",
         str(REPO / "build" / "test-media"), "--www", str(www), "--root-page", str(page), "--lifetime", "110"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        port_line = server.stdout.readline().decode()
        base = "http://127.0.0.1:%s" % re.fullmatch(r"PORT (\d+)\n", port_line).group(1)
        prefix = base + "/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=8000&titles=Tone&station"
        titles = ["&laquo;Красная&raquo;", "Зелёная", "Без логотипа", "Синяя"]
        blocks = [block(prefix + "=%d" % (i + 1), "www/" + name if name else "status/404", titles[i])
                  for i, (name, _) in enumerate(LOGOS)]
        page.write_bytes(("<html><body><h3>Радиостанции</h3>\n" + "".join(blocks)
                          + '<div id="footer-spacer"></div></body></html>').encode("utf-8"))
        # An old catalogue of one station, replaced as a whole.
        built = tmp_path / "built" / "Stations"
        built.mkdir(parents=True)
        (built / "play1.txt").write_bytes(b"http://old/\r\nOld\r\n")
        (built / "1.txt").write_bytes(b"")

        tool = player(exe=TOOL, start=False)
        tool.start("directory", "--root", base + "/", "--prefix", prefix, windows_path(built))
        assert tool.wait_exit(60) == 0, tool.log_path.read_bytes()[-2000:]
        out = tool.log_path.read_bytes().decode("utf-8", "replace")
        assert "stations: 4" in out and "logos: JPEG 1, GIF 1, PNG 1, other kinds 0" in out, out
        files = {f.name: f.read_bytes() for f in built.iterdir()}
        assert sorted(files) == ["1.jpg", "2.png", "3.txt", "4.gif",
                                 "play1.txt", "play2.txt", "play3.txt", "play4.txt"], sorted(files)
        assert files["play1.txt"] == (prefix + "=1\r\nКрасная\r\n").encode("cp1251")

        p = player(stations=files, files={"config.txt": config_txt()})
        w = p.wait_window(MAIN_TITLE)
        time.sleep(1)
        p.pointer_away()
        shot = p.keep_screenshot("rebuilt-grid.png")
        screen = p.grab(shot)
        # Three tiles: the station without a logo has none, so the blue one takes its place.
        for cell, colour in ((1, LOGOS[0][1]), (2, LOGOS[1][1]), (3, LOGOS[3][1])):
            x, y = cell_centre(cell)
            got = screen(LEFT + x, TOP + y)
            assert all(abs(a - b) <= 12 for a, b in zip(got, colour)), (cell, got, colour)
        x, y = cell_centre(4)
        assert screen(LEFT + x, TOP + y) == (251, 250, 250)
        # A press on the first tile plays the rebuilt station's address.
        rec = p.record("rebuilt")
        p.click(w, *cell_centre(1))
        time.sleep(4)
        rec.stop()
        tone = rec.tone(880)
        assert tone, tone
    finally:
        server.kill()
        server.wait(10)
