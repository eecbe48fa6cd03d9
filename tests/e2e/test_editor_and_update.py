"""The station editor and the update check under wine."""

import subprocess
import sys
import time
import urllib.parse

import pytest

from harness import MAIN_TITLE, REPO, build_setting, config_txt, wait_for

NOTICE = "Обновление Тиволны"


@pytest.fixture
def product_site():
    """The loopback server on the 64-bit build's product-site port; yields a function that
    (re)starts it with a version file text and returns its base address."""
    port = urllib.parse.urlsplit(build_setting("TIVOLNA_PRODUCT_SITE_URL")).port
    procs = []

    def start(version):
        while procs:
            p = procs.pop()
            p.kill()
            p.wait(10)
        p = subprocess.Popen([sys.executable, str(REPO / "tools" / "icy_server.py"), "--port", str(port),
                              "--media", str(REPO / "build" / "test-media"), "--lifetime", "300",
                              "--version-text", version], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = p.stdout.readline().decode().split()
        assert line == ["PORT", str(port)], f"the product site's port {port} is taken: {line}"
        procs.append(p)
        return f"http://127.0.0.1:{port}"

    yield start
    for p in procs:
        p.kill()
        p.wait(10)


def requests(site):
    out = subprocess.run(["curl", "-s", f"{site}/_requests"], capture_output=True).stdout.decode()
    return out.count("/version.txt")


def test_notice_appears_about_ten_seconds_after_start_centred(player, product_site):
    site = product_site("6")
    p = player(files={"config.txt": config_txt(check_updates=1)})
    p.wait_window(MAIN_TITLE)
    t0 = time.monotonic()
    notice = p.wait_window(NOTICE, timeout=30)
    waited = time.monotonic() - t0
    assert 8 < waited < 16, waited
    g = p.geometry(notice)
    assert (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) == (1024 // 2 - 150, 768 // 2 - 100, 302, 135), g
    assert requests(site) == 1
    time.sleep(0.5)
    p.keep_screenshot("update-notice.png")
    p.click(notice, 32 + 52, 88 + 12)   # "Закрыть"
    wait_for(lambda: not p.is_mapped(notice), 10, "the notice to close")


@pytest.mark.parametrize("version, updates", [("5", 1), ("6", 0)])
def test_no_notice(player, product_site, version, updates):
    site = product_site(version)
    p = player(files={"config.txt": config_txt(check_updates=updates)})
    p.wait_window(MAIN_TITLE)
    time.sleep(15)
    notice = p.form_window(NOTICE)
    assert notice is None or not p.is_mapped(notice)
    assert requests(site) == (1 if updates else 0)


def test_a_captive_portal_page_shows_only_its_start(player, product_site):
    portal = "<html><body>" + "Войдите в сеть гостиницы. " * 1500 + "</body></html>"
    product_site(portal)
    p = player(files={"config.txt": config_txt(check_updates=1)})
    p.wait_window(MAIN_TITLE)
    wait_for(lambda: p.box_texts(), 30, "the conversion error box")
    (caption, texts), = p.box_texts()
    body = portal.encode("utf-8").decode("cp1251")  # the body's bytes as the player reads them
    assert "".join(texts) == "'" + body[:200] + "…' is not a valid integer value", texts
    g = p.geometry(p.boxes()[0].id)
    assert g["WIDTH"] < 1024 and g["HEIGHT"] < 400, g
    time.sleep(0.5)
    p.keep_screenshot("update-portal-error.png")
    assert p.dismiss_boxes()


def test_editing_a_station_changes_its_file_and_what_plays(player, icy_server, tmp_path):
    url = f"{icy_server}/stream/tone440_128k_44100_s.mp3?burst=65536"
    new_url = f"{icy_server}/stream/tone1320_128k_44100_s.mp3?burst=65536"
    logo = tmp_path / "1.png"
    subprocess.run(["convert", "-size", "80x80", "xc:#c03030", str(logo)], check=True)
    p = player(stations={"play1.txt": f"{url}\r\nСтарое имя\r\n".encode("cp1251"), "1.png": logo.read_bytes()},
               files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    p.click(w, 10 + 48, 77 + 40)    # the station
    time.sleep(1)
    p.click(w, 446, 358)             # Image8: the editor, below the main window
    editor = p.wait_window("Редактор радиостанции")
    time.sleep(0.5)
    p.keep_screenshot("station-editor.png")
    # The name: select all and type (Cyrillic through the clipboard's paste).
    p.click(editor, 200, 55)
    p.key(editor, "ctrl+a", "BackSpace")
    subprocess.run(["xclip", "-selection", "clipboard"], input="Новое имя".encode(), env=p.session.env(),
                   check=True, timeout=10)
    time.sleep(0.3)
    p.key(editor, "ctrl+v")
    # The address: typed.
    p.click(editor, 200, 88)
    p.key(editor, "ctrl+a", "BackSpace")
    p.type_text(editor, new_url)
    p.click(editor, 280 + 51, 129 + 13)   # Сохранить
    expected = f"{new_url}\r\nНовое имя\r\n0\r\n".encode("cp1251")
    wait_for(lambda: (p.stations / "play1.txt").read_bytes() == expected, 10,
             f"the station file (now {(p.stations / 'play1.txt').read_bytes()!r})")
    # The play button plays the new address at once.
    p.click(w, 37, 61)
    time.sleep(4)
    rec = p.record("edited")
    time.sleep(2)
    rec.stop()
    assert (tone := rec.tone(1320)), tone
