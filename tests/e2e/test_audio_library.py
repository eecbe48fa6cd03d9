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
    tone = rec.tone(880)
    assert tone, tone
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
        assert (tone := rec.tone(440)), tone
        levels.append(rec.rms())
    assert 0.15 < levels[1] / levels[0] < 0.35, levels


def test_playlist_with_dead_entries(player, icy_server):
    # The first entries point at ports nobody listens on: each refusal must be seen at once
    # (the connect wait reports it on every Windows), not after the 5 s connect time-out.
    url = (f"{icy_server}/playlist.pls?to=http://127.0.0.1:9/dead&to=http://127.0.0.1:7/dead"
           "&to=/stream/tone1320_128k_44100_s.mp3%3Fburst%3D65536")
    p = player(exe=AUDIOPROBE, start=False)
    rec = p.record("playlist")
    p.start(url, "3")
    assert p.wait_exit(40) == 0
    rec.stop()
    out = probe_lines(p)
    assert "playing" in out
    opened = [int(l.split()[1]) for l in out if l.startswith("opened ")]
    assert opened and opened[0] < 2000, out
    assert (tone := rec.tone(1320)), tone


def test_bad_servers_fail_with_their_reason(player, icy_server):
    cases = {"/status/404": 2404, "/bad/html": 41, "/bad/random": 41, "/bad/huge-header": 1001,
             "/bad/drop": 1003, "http://127.0.0.1:9/": 32}
    for path, code in cases.items():
        p = player(exe=AUDIOPROBE, start=False)
        p.start(path if path.startswith("http:") else icy_server + path, "1")
        assert p.wait_exit(40) == 3, (path, probe_lines(p))
        assert f"open failed {code}" in probe_lines(p), (path, probe_lines(p))


def test_free_while_a_callback_sends_to_the_main_thread(player, icy_server):
    # The wait inside BASS_StreamFree and BASS_Free handles the send (the Win32 wait for
    # sent messages), so the free returns at once and no callback runs after it.
    url = f"{icy_server}/stream/tone440_128k_44100_s.mp3?metaint=1000&titles=A|B|C&title_every=0.03"
    p = player(exe=AUDIOPROBE, start=False)
    p.start("--free-while-sending", url)
    assert p.wait_exit(40) == 0, probe_lines(p)
    frees = [l.split() for l in probe_lines(p) if l.startswith("free ")]
    assert len(frees) == 2, probe_lines(p)
    for _, ms, inside, ok in frees:
        assert ok == "1" and inside == "0", frees
        assert int(ms) < 500, frees


def test_no_output_device(player, icy_server):
    p = player(exe=AUDIOPROBE, audio=False, start=False)
    p.start(icy_server + "/stream/tone440_128k_44100_s.mp3", "1")
    assert p.wait_exit(30) == 2
    assert "init failed 3" in probe_lines(p)
