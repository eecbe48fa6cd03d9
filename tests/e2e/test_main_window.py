"""The main window under wine: its face, the notification area and its menu, the web site,
dragging, hints."""

import time

from harness import LEFT, MAIN_TITLE, TOP, build_setting, config_txt, wait_for


def children(p):
    """The main window's child windows by name: Win."""
    forms = {f.text: f for f in p.forms()}
    main = forms[MAIN_TITLE]
    return {w.text: w for w in p.probe() if w.kind == "child" and w.parent == main.hwnd}


def test_face_controls_and_see_through_corners(player):
    p = player(stations={}, files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    time.sleep(1)
    p.pointer_away()  # no hover effects in the picture
    shot = p.keep_screenshot("main-window.png")

    screen = p.grab(shot)

    def px(x, y):  # client coordinates
        return screen(LEFT + x, TOP + y)

    desktop = screen(1010, 740)
    # The rounded corners are see-through: the desktop shows there.
    for x, y in ((0, 0), (500, 0), (0, 372), (500, 372), (1, 2)):
        assert px(x, y) == desktop, (x, y)
    assert px(250, 4) != desktop and px(250, 368) != desktop and px(3, 186) != desktop
    # The tile well has the grids' colour (red 251, green 250, blue 250), below the empty
    # catalogue's note.
    assert px(250, 330) == (251, 250, 250)

    # Child windows: buttons, slider, the hidden panel outside the client area.
    kids = children(p)
    want = {"sBitBtn2": (10, 50, 55, 23), "sBitBtn3": (69, 50, 55, 23), "sTrackBar1": (158, 48, 307, 31),
            "Panel1": (505, 70, 57, 36)}
    for name, rect in want.items():
        assert kids[name].rect == rect, kids[name]
    assert kids["sBitBtn2"].visible and not kids["sBitBtn2"].enabled
    assert kids["sBitBtn3"].visible and not kids["sBitBtn3"].enabled
    assert kids["sTrackBar1"].visible and kids["sTrackBar1"].enabled
    for hidden in ("Panel1", "Button1", "Button2", "Button3", "Memo1", "Memo2"):
        assert not kids[hidden].visible, hidden

    # Pictures and labels drawn where they belong: dark ink of the close cross at its centre,
    # gold-free grey star, blue slider fill left of the thumb, text in the footer labels.
    def dark(c):
        return sum(c) < 300

    assert dark(px(456 + 16, 3 + 15)), px(456 + 16, 3 + 15)         # Image4's cross
    assert dark(px(420 + 16, 3 + 15 - 3)), px(420 + 16, 3 + 12)      # Image5's arrow
    r, g, b = px(170, 48 + 15)
    assert b > 150 and b - r > 60, (r, g, b)                         # slider: filled part
    for label, (x0, y0, wd, ht) in {"РАДИОСТАНЦИИ": (17, 350, 104, 17), "ИЗБРАННОЕ": (201, 350, 73, 17),
                                    "title": (39, 9, 200, 23)}.items():
        inked = [dark(px(x, y)) for x in range(x0, x0 + wd, 2) for y in range(y0, y0 + ht, 2)]
        assert any(inked), f"no text in {label}"
    assert not any(dark(px(x, y)) for x in range(140, 190, 2) for y in range(352, 366, 2)), "footer gap is empty"


def test_tray_round_trip_and_menu(player):
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    icon = p.tray_icon_point()   # active from the start, beside the visible window
    p.click(w, 436, 18)          # Image5: into the notification area
    wait_for(lambda: not p.is_mapped(w), 10, "the window to hide")
    assert not [f for f in p.forms() if f.visible]
    # A left click on the icon shows the window again; the icon stays.
    p.click_screen(*icon)
    wait_for(lambda: p.is_mapped(w), 10, "the window to come back")
    assert p.tray_window().visible
    # A right click opens the menu at the pointer; its first item shows the window and removes
    # the icon.
    p.click(w, 436, 18)
    wait_for(lambda: not p.is_mapped(w), 10, "the window to hide")
    p.click_screen(*icon, button=3)
    menu = p.popup_menu()
    x, y, mw, mh = menu.rect
    assert abs(x - icon[0]) <= 2 and abs(y - icon[1]) <= 2, (menu.rect, icon)
    assert mh >= 7 * 24, menu.rect
    p.keep_screenshot("tray-menu.png")
    p.click_screen(x + 60, y + 3 + 12)
    wait_for(lambda: p.is_mapped(w), 10, "the window to come back from the menu")
    wait_for(lambda: not (p.tray_window() and p.tray_window().visible), 10, "the icon to go")
    assert p.running()


def test_exit_from_the_menu_writes_no_settings(player):
    cfg = config_txt(start_volume=40)
    p = player(files={"config.txt": cfg})
    p.wait_window(MAIN_TITLE)
    icon = p.tray_icon_point()
    p.click_screen(*icon, button=3)
    x, y, mw, mh = p.popup_menu().rect
    p.click_screen(x + 60, y + mh - 3 - 12)  # the last item: "Выход"
    assert p.wait_exit(15) == 0
    assert p.file("config.txt") == cfg


def test_site_picture_opens_the_product_site(player):
    site = build_setting("TIVOLNA_PRODUCT_SITE_URL")
    p = player(files={"config.txt": config_txt()}, start=False)
    log = p.base / "opened.txt"
    p.record_browser(log)
    p.start()
    w = p.wait_window(MAIN_TITLE)
    p.click(w, 340, 358)   # the site's name: nothing happens
    time.sleep(2)
    assert not log.exists()
    p.click(w, 483, 358)   # Image6
    wait_for(log.exists, 20, "the browser to be started")
    time.sleep(0.5)
    opened = log.read_text().split()
    assert [u.rstrip("/") for u in opened] == [site.rstrip("/")], opened


def test_dragging_the_title_moves_the_window(player):
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    time.sleep(0.5)
    p._x("xdotool", "mousemove", "--window", str(w), "100", "20", "mousedown", "1")
    time.sleep(0.3)
    for i in range(1, 11):
        p._x("xdotool", "mousemove", str(LEFT + 100 + 7 * i), str(TOP + 20 + 5 * i))
        time.sleep(0.05)
    p._x("xdotool", "mouseup", "1")
    wait_for(lambda: p.geometry(w)["X"] != LEFT, 5, "the window to move")
    g = p.geometry(w)
    assert (g["X"], g["Y"]) == (LEFT + 70, TOP + 50), g


def test_hint_appears_where_the_mouse_rests(player):
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    time.sleep(0.5)
    # Into the window first, then onto the picture: each move is a real motion for wine.
    p._x("xdotool", "mousemove", "--window", str(w), "250", "40")
    time.sleep(0.3)
    p._x("xdotool", "mousemove", "--window", str(w), "468", "17")
    time.sleep(0.1)
    p._x("xdotool", "mousemove", "--window", str(w), "470", "18")

    def hint():
        return [x for x in p.probe() if x.kind == "top" and x.cls == "TkHint" and x.visible]

    wait_for(lambda: hint(), 10, "the hint")
    h = hint()[0]
    assert h.text == "Закрыть тиволну"
    hx, hy, hw, hh = h.rect
    assert abs(hx - (LEFT + 470)) < 150 and TOP + 18 < hy < TOP + 18 + 60, h.rect
    p._x("xdotool", "mousemove", "--window", str(w), "250", "200")
    wait_for(lambda: not hint(), 5, "the hint to go")


def test_status_label_copies_to_the_clipboard_with_the_russian_locale(player):
    # The program runs with code page 1252, so only the locale entry makes the Cyrillic right.
    p = player(files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    icon = p.tray_icon_point()
    # "Включить радиостанцию" before any station: the empty address fails, "Нет сигнала".
    p.click_screen(*icon, button=3)
    x, y, mw, mh = p.popup_menu().rect
    p.click_screen(x + 60, y + 3 + 2 * 24 + 12)
    time.sleep(3)
    p.click(w, 45, 38)  # the status label
    wait_for(lambda: p.boxes(), 10, "the confirmation")
    texts = p.box_texts()
    assert (MAIN_TITLE, ["Название композиции сохранено в буфер."]) in texts, texts
    assert p.clipboard() == "Нет сигнала"
    p.dismiss_boxes()
    wait_for(lambda: not p.boxes(), 10, "the box to close")
    assert p.running()
