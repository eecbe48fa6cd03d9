"""The shipped 32-bit exe (build/dist-win32) under Debian's i386 wine, run by qemu-i386: the
paths where 32-bit code differs from 64-bit code. Window procedures, hook, thread and audio
callbacks (stdcall on i386), structure layouts (the notification icon, the settings window's
controls), 64-bit integers in the stream code, and the i686 builds of mpg123, FFmpeg's AAC
decoder and mbedTLS. Also the 32-bit installer in a fresh i386 prefix."""

import array
import subprocess
import time
import urllib.parse

import pytest

from harness import LEFT, MAIN_TITLE, REPO, TOP, cell_centre, config_txt, make_logo, wait_for, windows_path
from test_grids import stations
from test_https import CERTS, tls_front
from test_release import INSTALLER_FILES, SETUP32, DIST32, Machine, installed_files, package, shipped

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
START_TIMEOUT = 120   # qemu on a loaded machine


def answered_forms(p, timeout=60):
    """{caption: Win} of the four forms, once the player's window thread answers WM_GETTEXT
    (under qemu it is busy for some seconds after the main window shows)."""
    deadline = time.monotonic() + timeout
    while True:
        forms = {f.text: f for f in p.forms()}
        if len(forms) == 4 or time.monotonic() > deadline:
            return forms
        time.sleep(0.5)


def wait_for_sound(p, timeout=90):
    """Wait until the null sink carries sound: connecting and buffering under qemu take a
    while, more so for a TLS handshake on a loaded machine. Seconds waited."""
    rec = p.record("waiting")
    t0 = time.monotonic()
    try:
        while time.monotonic() - t0 < timeout:
            time.sleep(0.5)
            tail = rec.raw.read_bytes()[-8820:]   # the last 50 ms
            s = array.array("h", tail[: len(tail) // 2 * 2])
            if s and max(abs(v) for v in s) > 1000:
                return time.monotonic() - t0
        raise AssertionError(f"no sound after {timeout} s")
    finally:
        rec.stop()


def listen(p, name, seconds, settle=2, wait=True):
    """A recording of `seconds` (once sound plays and has run `settle` seconds)."""
    if wait:
        wait_for_sound(p)
        time.sleep(settle)
    rec = p.record(name)
    time.sleep(seconds)
    rec.stop()
    return rec


def test_starts_and_the_close_picture_writes_the_settings(player32):
    p = player32(files={"config.txt": config_txt(start_volume=25, autorun=1)})
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    forms = answered_forms(p)
    assert set(forms) == {"Тиволна", "Настройка", "Редактор радиостанции", "Обновление Тиволны"}
    assert forms[MAIN_TITLE].visible and forms[MAIN_TITLE].rect == (372, 133, 501, 373)
    assert not any(f.visible for t, f in forms.items() if t != MAIN_TITLE)
    kids = {k.text: k for k in p.probe() if k.kind == "child" and k.parent == forms[MAIN_TITLE].hwnd}
    assert kids["sTrackBar1"].rect == (158, 48, 307, 31) and kids["sTrackBar1"].visible
    assert kids["Panel1"].rect == (505, 70, 57, 36) and not kids["Panel1"].visible
    p.key(w, *(["Up"] * 15))      # the keyboard hook: 25 -> 40
    time.sleep(0.5)
    p.click(w, 456 + 16, 3 + 15)  # Image4: write and close
    assert p.wait_exit(30) == 0
    assert p.file("config.txt") == config_txt(start_volume=40, autorun=1)
    assert p.reg_value(RUN_KEY, "Tivolna") == f'"{windows_path(p.exe)}"'


def test_a_tile_plays_its_tone_with_its_title_and_the_volume_keys_change_the_level(player32, icy_server, tmp_path):
    p = player32(stations=stations(tmp_path, icy_server), files={"config.txt": config_txt(start_volume=25)})
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    p.click(w, *cell_centre(2))
    quiet = listen(p, "at25", 3)
    tone = quiet.tone(880)
    assert tone, tone
    assert p.copy_status(w, timeout=20) == "Вторая волна"
    p.key(w, *(["shift+Up"] * 5))    # 25 -> 75
    time.sleep(1.5)
    loud = listen(p, "at75", 3, wait=False)
    ratio = loud.rms() / quiet.rms()
    assert 2.5 < ratio < 3.5, (quiet.rms(), loud.rms())
    p.key(w, *(["KP_Subtract"] * 75))  # down to 0
    time.sleep(1.5)
    mute = listen(p, "at0", 2, wait=False)
    assert mute.rms() < 0.005, mute.rms()


def test_tray_round_trip(player32):
    p = player32(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    icon = p.tray_icon_point(timeout=30)
    p.click(w, 436, 18)          # Image5: into the notification area
    wait_for(lambda: not p.is_mapped(w), 20, "the window to hide")
    p.click_screen(*icon)
    wait_for(lambda: p.is_mapped(w), 20, "the window to come back")
    assert p.tray_window().visible
    assert p.running()


def test_settings_apply_writes_the_file(player32):
    p = player32(files={"config.txt": config_txt(check_updates=1, open_last=0, start_volume=25)})
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    # The settings window opens right of the main window: drag that one left first, so the
    # Apply button is on this screen.
    p.drag_window(w, -300, pause=0.1)
    wait_for(lambda: p.geometry(w)["X"] == LEFT - 300, 20, "the main window to move")
    p.click(w, 464, 358)          # Image7
    f2 = p.wait_window("Настройка", timeout=30)
    g = p.geometry(f2)
    assert (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) == (LEFT - 300 + 497, TOP + 208, 305, 164), g
    time.sleep(0.5)
    p.click(f2, 45, 107)          # tick "open last"
    time.sleep(0.5)
    p.click(f2, 226 + 34, 125 + 12)   # Apply
    wait_for(lambda: p.file("config.txt") == config_txt(check_updates=1, open_last=1, start_volume=25, last_number=-1),
             20, "Apply to write the file")


def test_https_station_with_the_test_root_trusted(player32, icy_server, tmp_path):
    subprocess.run(["bash", str(REPO / "tools" / "make_test_certs.sh"), str(CERTS)], check=True, timeout=120)
    proc, port = tls_front(int(icy_server.rsplit(":", 1)[1]), "localhost")
    try:
        title = "Защищённая волна"
        q = urllib.parse.quote_from_bytes(title.encode("cp1251"))
        url = f"https://localhost:{port}/stream/tone880_128k_44100_s.mp3?burst=65536&status=icy&metaint=8000&titles={q}"
        make_logo(tmp_path / "1.png", ".png", (220, 40, 40))
        files = {"play1.txt": f"{url}\r\n{title}\r\n".encode("cp1251"), "1.png": (tmp_path / "1.png").read_bytes()}
        p = player32(stations=files, files={"config.txt": config_txt()}, start=False)
        r = subprocess.run([p.wine, str(p.tools / "trustcert.exe"), windows_path(CERTS / "ca.der")], env=p.env(),
                           capture_output=True, timeout=120)
        assert r.returncode == 0, r.stderr.decode(errors="replace")
        p.start()
        w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
        p.click(w, *cell_centre(1))
        tone = listen(p, "https", 4).tone(880)
        assert tone, tone
        assert p.copy_status(w, timeout=20) == title
    finally:
        proc.kill()
        proc.wait(10)


def test_aac_stations(player32, icy_server, tmp_path):
    # AAC-LC with an ICY title, HE-AAC v2 (SBR and parametric stereo)
    cases = {1: ("tone1000_96k_44100_s.aac", "Волна AAC", 1000), 2: ("he2_tone825_44100_s.aac", "HE-AAC v2", 825)}
    files = {}
    for n, (name, title, _) in cases.items():
        q = urllib.parse.quote_from_bytes(title.encode("cp1251"))
        files[f"play{n}.txt"] = f"{icy_server}/stream/{name}?burst=65536&metaint=8000&titles={q}\r\nStation {n}\r\n".encode("cp1251")
        make_logo(tmp_path / f"{n}.png", ".png", (60 * n, 90, 160))
        files[f"{n}.png"] = (tmp_path / f"{n}.png").read_bytes()
    p = player32(stations=files, files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    for n, (name, title, freq) in cases.items():
        p.click(w, *cell_centre(n))
        time.sleep(1)   # the previous station's sound has ended
        rec = listen(p, f"station{n}", 3)
        tone = rec.tone(freq)
        assert tone, f"{name}: {tone}"
        assert p.copy_status(w, timeout=20) == title, name


def test_installer_installs_the_player_silently_and_uninstalls(player32, tmp_path):
    setup = package(SETUP32)
    m = Machine(player32, tmp_path / "machine")
    assert m.run(setup, "/S") == 0
    want = shipped(DIST32)
    assert installed_files(m.folder) - INSTALLER_FILES == set(want)
    assert (m.folder / "tivolna.exe").read_bytes() == want["tivolna.exe"]
    assert m.shortcut("menu").is_file()
    p = m.launch(m.folder / "tivolna.exe")
    w = p.wait_window(MAIN_TITLE, timeout=START_TIMEOUT)
    p.close_window(w)
    assert p.wait_exit(30) == 0
    assert m.run(m.folder / "uninstall.exe", "/S") == 0
    assert not (m.folder / "tivolna.exe").exists() and not m.shortcut("menu").exists()
    assert m.reg(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivolna") is None


@pytest.mark.parametrize("arch", ["win32", "win64"])
def test_media_player_events_reach_the_status_handler(arch, request):
    # The control's event sink against a fake control raising wmpids.h's identifiers through
    # IDispatch::Invoke (wine's own control has no IDispatch, so the real one cannot be driven).
    session = request.getfixturevalue("e2e_session_win32" if arch == "win32" else "e2e_session")
    make = request.getfixturevalue("player32" if arch == "win32" else "player")
    exe = session.kind.tools / "wmp_events_test.exe"
    if not exe.is_file():
        pytest.fail(f"{exe} is missing: scripts/build {arch}", pytrace=False)
    p = make(exe=exe, start=False)
    p.start()
    code = p.wait_exit(120)
    out = p.log_path.read_text(errors="replace")
    assert code == 0 and "0 failed" in out, out
