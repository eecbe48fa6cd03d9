"""A station on a real Icecast 2 server (Debian's icecast2, fed by ezstream) on loopback: it
plays, and its Cyrillic title, which Icecast sends as numeric character references, shows
correctly."""

import os
import shutil
import socket
import subprocess
import tempfile
import time
import urllib.request
from pathlib import Path

import pytest

from harness import MAIN_TITLE, REPO, config_txt

ICECAST = shutil.which("icecast2")
EZSTREAM = shutil.which("ezstream")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture
def icecast(tmp_path):
    """An Icecast server with one mount /radio.mp3 playing an 880 Hz tone titled "Песня раз"."""
    if not (ICECAST and EZSTREAM):
        pytest.fail("icecast2 and ezstream are installed by scripts/setup", pytrace=False)
    # Icecast started as root drops to nobody: everything it reads and writes must be
    # reachable, so not under pytest's private folder.
    run = Path(tempfile.mkdtemp(prefix="tivolna-icecast-"))
    (run / "log").mkdir()
    for p in (run, run / "log"):
        p.chmod(0o777)
    media = REPO / "build" / "test-media"
    subprocess.run(["bash", str(REPO / "tools" / "make_media.sh"), str(media)], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copy(media / "tone880_128k_44100_s.mp3", run / "tone.mp3")
    port = free_port()
    security = ("<security><chroot>0</chroot><changeowner><user>nobody</user><group>nogroup</group>"
                "</changeowner></security>") if os.geteuid() == 0 else ""
    (run / "icecast.xml").write_text(f"""<icecast>
  <limits><clients>10</clients><sources>2</sources></limits>
  <authentication><source-password>source</source-password>
    <admin-user>admin</admin-user><admin-password>admin</admin-password></authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>{port}</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <paths><basedir>/usr/share/icecast2</basedir><logdir>{run / "log"}</logdir>
    <webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot></paths>
  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>
  {security}
</icecast>
""")
    (run / "meta.sh").write_text('#!/bin/sh\nif [ "$1" = "title" ]; then printf "Песня раз"; fi\n')
    (run / "list.m3u").write_text(f"{run / 'tone.mp3'}\n")
    (run / "ezstream.xml").write_text(f"""<?xml version="1.0" encoding="UTF-8"?>
<ezstream>
  <servers><server><hostname>127.0.0.1</hostname><port>{port}</port><password>source</password></server></servers>
  <streams><stream><mountpoint>/radio.mp3</mountpoint><format>MP3</format></stream></streams>
  <intakes><intake><filename>{run / 'list.m3u'}</filename></intake></intakes>
  <metadata><program>{run / 'meta.sh'}</program><format_str>@t@</format_str></metadata>
</ezstream>
""")
    for f in ("tone.mp3", "list.m3u", "icecast.xml"):
        (run / f).chmod(0o644)
    (run / "meta.sh").chmod(0o755)
    (run / "ezstream.xml").chmod(0o600)   # ezstream refuses a configuration others can read
    procs = []
    try:
        procs.append(subprocess.Popen([ICECAST, "-c", str(run / "icecast.xml")], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, start_new_session=True))
        deadline = time.monotonic() + 15
        while True:
            try:
                socket.create_connection(("127.0.0.1", port), 0.5).close()
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise RuntimeError("icecast did not start")
                time.sleep(0.1)
        ez_log = open(run / "ezstream.out", "wb")
        procs.append(subprocess.Popen([EZSTREAM, "-c", str(run / "ezstream.xml")], stdout=ez_log,
                                      stderr=ez_log, start_new_session=True))
        ez_log.close()
        url = f"http://127.0.0.1:{port}/radio.mp3"
        deadline = time.monotonic() + 15
        while True:   # the mount exists once ezstream is connected
            try:
                with urllib.request.urlopen(url, timeout=2) as r:
                    if r.read(1000):
                        break
            except OSError:
                pass
            if time.monotonic() > deadline:
                raise RuntimeError("ezstream did not start the mount: "
                                   + (run / "ezstream.out").read_text(errors="replace")[-2000:]
                                   + "\n".join(f.read_text(errors="replace")[-2000:] for f in (run / "log").glob("*")))
            time.sleep(0.2)
        yield url
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(5)
        shutil.rmtree(run, ignore_errors=True)


def test_icecast_station_plays_with_its_cyrillic_title(player, icecast, tmp_path):
    logo = tmp_path / "1.png"
    subprocess.run(["convert", "-size", "120x100", "xc:#3060c0", str(logo)], check=True)
    stations = {"play1.txt": f"{icecast}\r\nIcecast\r\n".encode("cp1251"), "1.png": logo.read_bytes()}
    p = player(stations=stations, files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    rec = p.record("icecast")
    p.click(w, 10 + 48, 77 + 40)
    time.sleep(5)
    rec.stop()
    assert (tone := rec.tone(880)), tone
    assert p.copy_status(w) == "Песня раз"
