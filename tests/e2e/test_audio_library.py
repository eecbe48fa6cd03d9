"""The audio library of the Windows build: a loopback stream played through waveOut into the
null sink, recorded and measured."""

import time

from harness import PROBE

AUDIOPROBE = PROBE.parent / "audioprobe.exe"


def probe_lines(p):
    return [l.strip() for l in p.log_path.read_bytes().decode("utf-8", "replace").splitlines()]


def test_stream_plays_through_waveout_with_titles(player, icy_server):
    url = (f"{icy_server}/stream/tone880_128k_44100_s.mp3?burst=65536&metaint=8000"
           "&titles=First|Second&title_every=1.5")
    p = player(exe=AUDIOPROBE, start=False)
    rec = p.record("tone")
    t0 = time.monotonic()
    p.start(url, "4")
    assert p.wait_exit(30) == 0
    rec.stop()
    out = probe_lines(p)
    assert any(l.startswith("headers HTTP/1.0 200") for l in out), out
    fills = [int(l.split()[1]) for l in out if l.startswith("fill ")]
    assert fills and fills[-1] > 75, out
    assert "tags StreamTitle='First';StreamUrl='';" in out, out
    assert "title StreamTitle='Second';StreamUrl='';" in out, out
    assert "done" in out
    assert time.monotonic() - t0 < 25
    f = rec.frequency()
    assert 860 < f < 900, f"recorded {f:.1f} Hz"
    assert rec.rms() > 0.1


def test_volume_scales_the_output(player, icy_server):
    url = f"{icy_server}/stream/tone440_128k_44100_s.mp3?burst=65536"
    levels = []
    for volume in ("1.0", "0.25"):
        p = player(exe=AUDIOPROBE, start=False)
        rec = p.record(f"vol{volume}")
        p.start(url, "3", volume)
        assert p.wait_exit(30) == 0
        rec.stop()
        assert 420 < rec.frequency() < 460
        levels.append(rec.rms())
    assert 0.15 < levels[1] / levels[0] < 0.35, levels


def test_playlist_with_a_dead_first_entry(player, icy_server):
    # The first entry points at a port nobody listens on.
    url = (f"{icy_server}/playlist.pls?to=http://127.0.0.1:9/dead"
           "&to=/stream/tone1320_128k_44100_s.mp3%3Fburst%3D65536")
    p = player(exe=AUDIOPROBE, start=False)
    rec = p.record("playlist")
    p.start(url, "3")
    assert p.wait_exit(40) == 0
    rec.stop()
    assert "playing" in probe_lines(p)
    assert 1280 < rec.frequency() < 1360


def test_bad_servers_fail_cleanly(player, icy_server):
    for path in ("/status/404", "/bad/html", "/bad/random", "/bad/huge-header", "/bad/drop"):
        p = player(exe=AUDIOPROBE, start=False)
        p.start(icy_server + path, "1")
        assert p.wait_exit(40) == 3, (path, probe_lines(p))
        assert "open failed" in probe_lines(p)


def test_no_output_device(player, icy_server):
    p = player(exe=AUDIOPROBE, audio=False, start=False)
    p.start(icy_server + "/stream/tone440_128k_44100_s.mp3", "1")
    assert p.wait_exit(30) == 2
    assert "init failed" in probe_lines(p)
