"""Settings under wine: config.txt written by the close picture and by Apply, the Run value in
the registry, the last station resumed at start-up, the settings window, a failing registry
step."""

import subprocess
import time
import urllib.parse

from harness import LEFT, MAIN_TITLE, TOP, WINE, config_txt, wait_for, windows_path

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def station(server, tone=880):
    q = urllib.parse.quote_from_bytes("Последняя".encode("cp1251"))
    url = f"{server}/stream/tone{tone}_128k_44100_s.mp3?burst=65536&metaint=8000&titles={q}"
    return {"play1.txt": f"{url}\r\nПоследняя станция\r\n".encode("cp1251"), "1.txt": b""}


def test_close_picture_writes_the_file_and_the_run_value(player):
    p = player(files={"config.txt": config_txt(check_updates=0, start_volume=25, autorun=1)})
    w = p.wait_window(MAIN_TITLE)
    p.key(w, *(["Up"] * 15))     # volume 40
    time.sleep(0.5)
    p.click(w, 456 + 16, 3 + 15)  # Image4: write and close
    assert p.wait_exit(15) == 0
    # open_last off: the reader set the station to -1, and the exit writer writes what it has.
    assert p.file("config.txt") == config_txt(check_updates=0, open_last=0, start_volume=40, last_number=-1, autorun=1)
    assert p.reg_value(RUN_KEY, "Tivolna") == f'"{windows_path(p.exe)}"'  # quoted
    # And off again: the value goes.
    p2 = player(files={"config.txt": config_txt(autorun=0)}, start=False)
    p2.prefix = p.prefix   # the same registry
    p2.start()
    w2 = p2.wait_window(MAIN_TITLE)
    p2.click(w2, 456 + 16, 3 + 15)
    assert p2.wait_exit(15) == 0
    assert p2.reg_value(RUN_KEY, "Tivolna") is None


def test_last_station_resumes_with_its_volume(player, icy_server):
    p = player(stations=station(icy_server),
               files={"config.txt": config_txt(open_last=1, start_volume=60, last_number=1)})
    w = p.wait_window(MAIN_TITLE)
    time.sleep(4)
    rec = p.record("resumed")
    time.sleep(2)
    rec.stop()
    assert (tone := rec.tone(880)), tone
    assert p.copy_status(w) == "Последняя"
    p.close()
    # The restored volume: the level against a run that restores 20.
    q = player(stations=station(icy_server),
               files={"config.txt": config_txt(open_last=1, start_volume=20, last_number=1)})
    q.wait_window(MAIN_TITLE)
    time.sleep(4)
    quiet = q.record("quiet")
    time.sleep(2)
    quiet.stop()
    assert 2.4 < rec.rms() / quiet.rms() < 3.6, (rec.rms(), quiet.rms())


def test_settings_window_beside_the_main_window_and_apply(player):
    p = player(files={"config.txt": config_txt(check_updates=1, open_last=0, start_volume=25)})
    w = p.wait_window(MAIN_TITLE)
    p.click(w, 464, 358)          # Image7: to the right of the main window, partly off this screen
    f2 = p.wait_window("Настройка")
    g = p.geometry(f2)
    assert (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) == (LEFT + 497, TOP + 208, 305, 164), g
    p.click(w, 464, 358)          # a second click hides it
    wait_for(lambda: not p.is_mapped(f2), 10, "the window to hide")
    # Drag the main window into the left part of the screen, then open it again.
    p.drag_window(w, -300)
    wait_for(lambda: p.geometry(w)["X"] == LEFT - 300, 5, "the main window to move")
    p.click(w, 464, 358)
    wait_for(lambda: p.is_mapped(f2), 10, "the window to show")
    g = p.geometry(f2)
    assert (g["X"], g["Y"]) == (LEFT - 300 + 497, TOP + 208), g
    time.sleep(0.5)
    p.keep_screenshot("settings-window.png")
    # Tick "open last", then Apply.
    p.click(f2, 45, 107)
    time.sleep(0.3)
    p.click(f2, 226 + 34, 125 + 12)
    wait_for(lambda: p.file("config.txt") == config_txt(check_updates=1, open_last=1, start_volume=25, last_number=-1),
             10, "Apply to write the file")


def test_failing_registry_step_leaves_the_old_file_whole(player):
    old = config_txt(check_updates=0, start_volume=25, autorun=1)
    p = player(files={"config.txt": old}, start=False)
    # Without the Run key the value cannot be set.
    subprocess.run([WINE, "reg", "delete", RUN_KEY, "/f"], env=p.env(DISPLAY=""), capture_output=True, timeout=60)
    p.start()
    w = p.wait_window(MAIN_TITLE)
    p.click(w, 456 + 16, 3 + 15)
    wait_for(lambda: p.boxes(), 10, "the error")
    assert (MAIN_TITLE, ["Failed to set data for 'Tivolna'"]) in p.box_texts()
    assert p.file("config.txt") == old
    assert p.file("config2.txt") is None
    p.dismiss_boxes()
    time.sleep(0.5)
    assert p.running(), "the window stays open when the settings could not be written"
