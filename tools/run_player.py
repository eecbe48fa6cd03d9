#!/usr/bin/env python3
"""Starts the 64-bit player under wine64 the way the end-to-end tests do, for a person to use.

With a display ($DISPLAY) the player runs there until it is closed. Without one it runs on a
private Xvfb, a screenshot is saved and its path printed, and the player is closed again.
Sound goes to the user's sound server when one answers, else to a private null sink. The
loopback demo server runs alongside. An empty Stations folder gets the shipped catalogue when
scripts/catalogue has built it (build/catalogue/Stations), behind one loopback demo station
that plays without internet; without it, the demo stations. Settings and stations persist in
build/run/player.
Only what this script started is ended. Exit code: the player's, or 1 when its window never
appeared.
"""

import json
import os
import shutil
import subprocess
import sys
import time
import urllib.parse
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
import harness  # noqa: E402

WORK = REPO / "build" / "run"


# The demo catalogue: loopback stations of the demo server, each a tone of its own, with
# changing Cyrillic track titles and a logo drawn here.
DEMO = [
    ("Волна", "tone440_128k_44100_s.mp3", "#1e6fd9", "#0d3f8a", "Утренний эфир|Новости часа|Погода"),
    ("Эфир", "tone880_128k_44100_s.mp3", "#e0542f", "#9c2a10", "Песня о море|Ночной город"),
    ("Маяк 24", "tone1320_128k_44100_s.mp3", "#2e9e57", "#136b34", "Прогноз погоды|Спорт|Музыка"),
    ("Ретро", "tone1760_128k_44100_s.mp3", "#8a4fd1", "#4d2391", "Старые пластинки|Вальс"),
    ("Джаз", "tone660_320k_48000_s.mp3", "#d19a1f", "#8a5d06", "Импровизация|Блюз у реки"),
    ("Лёгкое FM", "tone550_64k_24000_s.mp3", "#1fa7b8", "#0b6470", "Тихий вечер|Лёгкая музыка"),
    ("Говорит", "tone1000_32k_22050_m.mp3", "#596579", "#2e3644", "Интервью|Обзор прессы"),
    ("Классика", "tone770_192k_44100_s.mp2", "#b8325c", "#6e1233", "Соната|Ноктюрн|Прелюдия"),
]


def demo_logo(path, name, subtitle, top, bottom):
    subprocess.run(
        ["convert", "-size", "200x186", f"gradient:{top}-{bottom}", "-alpha", "set",
         "(", "-size", "200x186", "xc:none", "-fill", "white", "-draw", "roundrectangle 0,0 199,185 26,26", ")",
         "-compose", "DstIn", "-composite", "-gravity", "center",
         "-font", "DejaVu-Sans-Bold", "-pointsize", "40" if len(name) < 7 else "30", "-fill", "white",
         "-annotate", "+0-14", name, "-font", "DejaVu-Sans", "-pointsize", "20",
         "-fill", "rgba(255,255,255,0.85)", "-annotate", "+0+34", subtitle, str(path)], check=True)


SHIPPED = REPO / "build" / "catalogue" / "Stations"


def demo_url(server, media, titles):
    q = urllib.parse.quote_from_bytes(titles.encode("cp1251"), safe="|")
    return f"{server}/stream/{media}?burst=65536&metaint=8000&title_every=6&titles={q}"


def write_shipped_catalogue(stations, server):
    """Station 1: the first demo station, on loopback; then the shipped catalogue, from 2 on."""
    for p in stations.iterdir():
        p.unlink()
    name, media, top, bottom, titles = DEMO[0]
    url = demo_url(server, media, titles)
    title = "Демо без интернета"
    tool = REPO / "build" / "tool" / "tivolna-catalogue"
    if tool.is_file():  # a name card like the catalogue's, drawn by the catalogue tool
        work = WORK / "demo-station"
        work.mkdir(parents=True, exist_ok=True)
        (work / "list.json").write_text(json.dumps([{"name": title, "url_resolved": url, "tags": "news"}]))
        subprocess.run([str(tool), "json", str(work / "list.json"), str(work / "Stations")],
                       stdout=subprocess.DEVNULL, check=True)
        for p in (work / "Stations").iterdir():
            shutil.copy(p, stations / p.name)
    else:
        (stations / "play1.txt").write_bytes(url.encode("ascii") + f"\r\n{title}\r\n".encode("cp1251"))
        demo_logo(stations / "1.png", "Демо", "127.0.0.1", top, bottom)
    for p in SHIPPED.iterdir():
        stem, dot, ext = p.name.partition(".")
        n = int(stem[4:]) if stem.startswith("play") else int(stem)
        new = f"play{n + 1}" if stem.startswith("play") else str(n + 1)
        (stations / f"{new}{dot}{ext}").write_bytes(p.read_bytes())


def write_demo_catalogue(app, server):
    """Fills an empty Stations folder with the shipped catalogue and a demo station, or with
    the demo stations, and points the demo stations of an earlier run at this run's server."""
    stations = app / "Stations"
    marker = app.parent / "demo-catalogue"
    stations.mkdir(parents=True, exist_ok=True)
    if any(stations.iterdir()) and not marker.exists():
        return  # the user's own catalogue
    if SHIPPED.is_dir() and any(SHIPPED.glob("play*.txt")):
        write_shipped_catalogue(stations, server)
        marker.write_text("the Stations folder holds the shipped catalogue and a demo station\n")
        return
    if marker.exists() and "shipped" in marker.read_text():
        for p in stations.iterdir():  # the shipped catalogue of an earlier run
            p.unlink()
    for n, (name, media, top, bottom, titles) in enumerate(DEMO, start=1):
        url = demo_url(server, media, titles)
        play = stations / f"play{n}.txt"
        rest = f"Радио «{name}»\r\n".encode("cp1251")
        if play.exists():  # keep what the user changed, take the new address
            lines = play.read_bytes().split(b"\r\n", 1)
            rest = lines[1] if len(lines) > 1 else rest
        play.write_bytes(url.encode("ascii") + b"\r\n" + rest)
        logo = stations / f"{n}.png"
        if not logo.exists():
            freq = media[4:media.index("_")]
            demo_logo(logo, name, f"{freq} Гц", top, bottom)
    marker.write_text("the Stations folder holds the demo catalogue\n")


# The 64-bit build's product site (scripts/build): the demo server plays it too, with the
# current release in its version file.
SITE_PORT = 47831


def start_demo_server():
    media = REPO / "build" / "demo-media"
    for port in (SITE_PORT, 0):   # the site's port when it is free
        proc = subprocess.Popen([sys.executable, str(REPO / "tools" / "icy_server.py"), "--port", str(port),
                                 "--media", str(media), "--lifetime", "86400", "--version-text", "5"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = proc.stdout.readline().decode().split()
        if len(line) == 2 and line[0] == "PORT":
            return proc, f"http://127.0.0.1:{line[1]}"
        proc.kill()
        proc.wait(10)
    raise RuntimeError("the demo server did not start")


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    display = os.environ.get("DISPLAY") or None
    system_sound = subprocess.run(["pactl", "info"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0
    session = harness.Session(display=display, system_sound=system_sound).start()
    server = None
    player = None
    try:
        server, url = start_demo_server()
        print(f"demo server: {url}")
        player = harness.Player(session, WORK / "player", keep=True)
        write_demo_catalogue(player.app, url)
        player.start()
        try:
            player.wait_window(harness.MAIN_TITLE, timeout=60)
        except (AssertionError, TimeoutError) as e:
            print(f"run: the player's window did not appear: {e}", file=sys.stderr)
            log = player.log_path.read_bytes().decode("utf-8", "replace") if player.log_path.exists() else ""
            print(log[-3000:], file=sys.stderr)
            return 1
        if display:
            print("run: the player is running; close it to end")
            return player.wait_exit(timeout=None)
        time.sleep(2)
        shot = WORK / "screenshot.png"
        player.screenshot(shot)
        print(f"screenshot: {shot}")
        return 0
    finally:
        if player is not None:
            player.close()
        if server is not None:
            server.kill()
            server.wait(10)
        session.close()


if __name__ == "__main__":
    sys.exit(main())
