"""Start-up and shut-down of the exe: windows, Stations clean-up, no audio device, alt+F4."""

import time

from harness import FORM_TITLES, MAIN_TITLE, config_txt, wait_for

STATION = "http://127.0.0.1:9/stream\r\nТестовая станция\r\n".encode("cp1251")
FORMS = [("Form1", "Тиволна"), ("Form2", "Настройка"), ("Form3", "Редактор радиостанции"),
         ("Form4", "Обновление Тиволны")]


def test_main_window_and_forms_in_creation_order(player):
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    assert p.geometry(w) == {"X": 372, "Y": 133, "WIDTH": 501, "HEIGHT": 373}

    # What X sees: one X window per form, created in this order, only the main one mapped.
    wait_for(lambda: all(p.form_window(t) for t in FORM_TITLES), 10, "an X window for each form")
    tops = [t for t in p.windows() if t.title in FORM_TITLES]
    assert [t.title for t in tops] == list(FORM_TITLES)
    assert [t.mapped for t in tops] == [True, False, False, False]
    assert (tops[0].x, tops[0].y, tops[0].width, tops[0].height) == (372, 133, 501, 373)
    assert p.boxes() == []

    # What Win32 sees: the four forms, only the main one visible, the secondary ones owned
    # by it.
    forms = {f.text: f for f in p.forms()}
    assert sorted(forms) == sorted(FORM_TITLES)
    main = forms[MAIN_TITLE]
    assert main.visible and main.rect == (372, 133, 501, 373)
    for title in FORM_TITLES[1:]:
        assert not forms[title].visible and forms[title].parent == main.hwnd, forms[title]
    assert p.running()


def test_thumbs_db_removed_from_stations_beside_the_exe(player):
    stations = {"thumbs.db": b"\xd0\xcf\x11\xe0 cache", "play1.txt": STATION, "1.txt": b""}
    p = player(stations=stations, files={"config.txt": config_txt()}, start=False)
    # A Stations folder in the working directory must not be the one cleaned.
    (p.cwd / "Stations").mkdir()
    (p.cwd / "Stations" / "thumbs.db").write_bytes(b"not mine")
    p.start()
    p.wait_window(MAIN_TITLE)

    assert sorted(x.name for x in p.stations.iterdir()) == ["1.txt", "play1.txt"]
    assert (p.stations / "play1.txt").read_bytes() == STATION
    assert (p.stations / "1.txt").read_bytes() == b""
    assert (p.cwd / "Stations" / "thumbs.db").read_bytes() == b"not mine"


def test_no_audio_device_ends_without_showing_the_main_window(player):
    p = player(files={"config.txt": config_txt()}, audio=False)
    main_shown = secondary = False
    boxes, texts = [], []
    deadline = time.monotonic() + 30
    while p.running() and not main_shown and time.monotonic() < deadline:
        w = p.form_window(MAIN_TITLE)
        main_shown = w is not None and p.is_mapped(w)
        secondary = secondary or any(p.form_window(t) for t in FORM_TITLES[1:])
        if p.boxes():
            texts += p.box_texts()
            boxes += p.dismiss_boxes()   # the player says why it ends, then ends
        time.sleep(0.1)
    assert not main_shown
    assert p.wait_exit(10) == 0, f"boxes answered: {boxes}"
    assert ("Тиволна", ["Ошибка инициализации аудио"]) in texts
    assert not secondary, "no secondary window is created when start-up ends the process"


def test_alt_f4_on_main_window_ends_with_code_0(player):
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    wait_for(lambda: all(p.form_window(t) for t in FORM_TITLES), 10, "all forms created")
    p.close_window(w)
    assert p.wait_exit(15) == 0
    assert p.find_windows(MAIN_TITLE) == []
