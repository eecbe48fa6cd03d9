"""Adding stations under wine: an address pasted with Ctrl+V becomes a tile that plays and
shows the stream's name; a .pls file dropped on the window gives its stations."""

import subprocess
import time
import urllib.parse

import xdnd
from harness import LEFT, MAIN_TITLE, TOP, cell_centre, config_txt, make_logo, wait_for

BACKGROUND = (251, 250, 250)


def one_station(tmp_path, server):
    url = f"{server}/stream/tone440_128k_44100_s.mp3?burst=65536"
    logo = tmp_path / "1.png"
    make_logo(logo, ".png", (220, 40, 40))
    return {"play1.txt": f"{url}\r\nПервая волна\r\n".encode("cp1251"), "1.png": logo.read_bytes()}


def tone_url(server, hz, name):
    q = urllib.parse.quote(name.encode("utf-8"))
    return f"{server}/stream/tone{hz}_128k_44100_s.mp3?burst=65536&name={q}"


def put_on_clipboard(p, text):
    """xclip owns the X clipboard with the text until it is ended."""
    clip = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet"], stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=p.env())
    clip.stdin.write(text.encode("utf-8"))
    clip.stdin.close()
    wait_for(lambda: p.clipboard() == text, 5, "the address on the clipboard")
    return clip


def tile_shown(p, n):
    x, y = cell_centre(n)
    return p.grab()(LEFT + x, TOP + y) != BACKGROUND


def test_pasted_address_becomes_a_playing_tile(player, icy_server, tmp_path):
    p = player(stations=one_station(tmp_path, icy_server), files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    url = tone_url(icy_server, 880, "Новая волна")
    clip = put_on_clipboard(p, url)
    try:
        rec = p.record("added")
        p.key(w, "ctrl+v")
        wait_for(lambda: (p.stations / "play2.txt").is_file(), 40, "the new station's file")
        time.sleep(4)
        rec.stop()
    finally:
        clip.terminate()
        clip.wait(5)
    assert (p.stations / "play2.txt").read_bytes() == f"{url}\r\nНовая волна\r\n".encode("cp1251")
    assert (p.stations / "2.png").read_bytes()[:4] == b"\x89PNG"
    assert 850 < rec.frequency() < 910, rec.frequency()
    p.pointer_away(0.5)
    p.keep_screenshot("add_station_paste.png")
    assert tile_shown(p, 1) and tile_shown(p, 2)
    assert not tile_shown(p, 3)
    assert not p.boxes()


def test_dropped_pls_gives_its_stations(player, icy_server, tmp_path):
    p = player(stations=one_station(tmp_path, icy_server), files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    pls = tmp_path / "Любимые.pls"
    pls.write_bytes(("[playlist]\r\nNumberOfEntries=2\r\n"
                     f"File1={tone_url(icy_server, 1320, 'Третья волна')}\r\nTitle1=x\r\n"
                     f"File2={icy_server}/status/404\r\nTitle2=y\r\n").encode("utf-8"))
    g = p.geometry(w)
    gx, gy = g["X"], g["Y"]
    x, y = cell_centre(7)
    assert xdnd.drop(p.env()["DISPLAY"], int(w), gx + x, gy + y, xdnd.file_uris([pls])), \
        "the window took no drop"
    wait_for(lambda: (p.stations / "play2.txt").is_file(), 40, "the dropped playlist's station")
    assert (p.stations / "play2.txt").read_bytes().split(b"\r\n")[1] == "Третья волна".encode("cp1251")
    # The entry that answers 404 is explained, and added nothing.
    wait_for(lambda: p.boxes(), 20, "the message about the failed entry")
    assert any("404" in t for _, texts in p.box_texts() for t in texts), p.box_texts()
    p.dismiss_boxes()
    assert not (p.stations / "play3.txt").exists()
