"""The shipped catalogue under wine: the packaged 64-bit dist folder shows full rows of drawn
logo tiles and the scroll bar; a press on a tile starts that station, which here (no internet)
ends in "Нет сигнала" while the window keeps answering."""

import shutil
import time

import pytest

from harness import MAIN_TITLE, REPO, config_txt
from test_grids import GRID_LEFT, GRID_TOP, LEFT, TOP, cell_centre, wait_for

DIST64 = REPO / "build" / "dist-win64"
SCREENS = REPO / "build" / "e2e-screens"
BACKGROUND = (251, 250, 250)
THUMB = (176, 188, 208)


def shipped_stations():
    st = DIST64 / "Stations"
    n = len(list(st.glob("play*.txt"))) if st.is_dir() else 0
    if n == 0:
        pytest.fail(f"{st} holds no station: run scripts/package", pytrace=False)
    return n


def status_text(p, w):
    """The status label's text, copied through its click."""
    p.click(w, 45, 38)
    wait_for(lambda: p.boxes(), 10, "the copy's confirmation")
    p.dismiss_boxes()
    return p.clipboard()


def test_packaged_catalogue_fills_the_grid_and_a_tile_starts_its_station(player):
    n = shipped_stations()
    assert n >= 170 and len(list((DIST64 / "Stations").glob("*.png"))) == n, "a drawn logo per station"
    p = player(exe=DIST64 / "tivolna.exe", files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    time.sleep(2)
    p._x("xdotool", "mousemove", "1000", "700")
    time.sleep(0.3)
    shot = p.screenshot()
    SCREENS.mkdir(parents=True, exist_ok=True)
    shutil.copy(shot, SCREENS / "shipped-catalogue.png")
    screen = p.grab(shot)
    # Three full rows of tiles in view: every cell shows a coloured card, none the background.
    for k in range(1, 16):
        x, y = cell_centre(k)
        r, g, b = screen(LEFT + x - 30, TOP + y + 25)   # the card's plate, below the name
        assert (r, g, b) != BACKGROUND and max(r, g, b) - min(r, g, b) > 40, (k, (r, g, b))
    # The scroll bar with its thumb at the top.
    thumb = screen(LEFT + GRID_LEFT + 481 - 7, TOP + GRID_TOP + 12)
    assert all(abs(a - b) <= 6 for a, b in zip(thumb, THUMB)), thumb

    # Station 1's stream is on the internet, which this machine does not reach.
    p.click(w, *cell_centre(1))
    deadline = time.monotonic() + 30
    text = ""
    while time.monotonic() < deadline:
        time.sleep(2)
        text = status_text(p, w)
        if text == "Нет сигнала":
            break
    assert text == "Нет сигнала"
    # The window still answers: a press on another tile shows that station's title.
    title = (DIST64 / "Stations" / "play2.txt").read_bytes().split(b"\r\n")[1].decode("cp1251")
    p.click(w, *cell_centre(2))
    wait_for(lambda: title in [x.text for x in p.probe() if x.kind == "child" and x.visible], 15,
             f"the title {title!r}")
    assert p.running()
