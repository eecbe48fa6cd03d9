"""The release packages of scripts/package: the zip and the installers read with 7-Zip; the
64-bit installer run under wine64 (silently, an update over it, its uninstaller, its first
page on screen) and the player it installs."""

import re
import shutil
import struct
import subprocess
import time
from pathlib import Path

import pytest

from harness import MAIN_TITLE, REPO, WINE, config_txt

RELEASE = REPO / "build" / "release"
VERSION = (REPO / "VERSION").read_text().strip()
SETUP32 = RELEASE / f"tivolna-{VERSION}-setup.exe"
SETUP64 = RELEASE / f"tivolna-{VERSION}-win64-setup.exe"
ZIP = RELEASE / f"tivolna-{VERSION}-win32.zip"
DIST32 = REPO / "build" / "dist-win32"
DIST64 = REPO / "build" / "dist-win64"
LICENSES = REPO / "assets" / "licenses"
SCREENS = REPO / "build" / "e2e-screens"

UNINST_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivolna"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
# No menu entries or icons of the shortcuts in the home folder of this machine.
NO_MENUS = {"WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}
# Files the installer adds beside the program's own.
INSTALLER_FILES = {"uninstall.exe", "shipped.ini"}

PE_I386, PE_AMD64 = 0x14C, 0x8664


def package(path):
    if not path.is_file():
        pytest.fail(f"{path} is missing: run scripts/package", pytrace=False)
    return path


def pe_machine(data):
    """The Machine field of a PE file's header."""
    assert data[:2] == b"MZ"
    off = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[off:off + 4] == b"PE\0\0"
    return struct.unpack_from("<H", data, off + 4)[0]


def listing(archive):
    """{path: is_folder} of an archive as 7-Zip reads it (NSIS installers included)."""
    r = subprocess.run(["7z", "l", "-slt", str(archive)], stdout=subprocess.PIPE, check=True)
    entries, path = {}, None
    for line in r.stdout.decode("utf-8").splitlines():
        if line.startswith("Path = "):
            path = line[7:]
        elif line.startswith("Folder = ") and path is not None:
            entries[path.replace("\\", "/")] = line.endswith("+")
            path = None
        elif line.startswith("Attributes = ") and path is not None:   # NSIS: no Folder line
            entries[path.replace("\\", "/")] = line[13:].startswith("D")
            path = None
        elif line == "" and path is not None:
            entries.setdefault(path.replace("\\", "/"), False)
            path = None
    entries.pop(str(archive), None)
    return entries


def extract(archive, name):
    r = subprocess.run(["7z", "e", "-so", str(archive), name], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, check=True)
    return r.stdout


def shipped(dist):
    """{relative path: bytes} of what a package must hold: the dist folder, and licenses/
    when the repository has them."""
    out = {p.relative_to(dist).as_posix(): p.read_bytes() for p in dist.rglob("*") if p.is_file()}
    if LICENSES.is_dir():
        out.update({"licenses/" + p.relative_to(LICENSES).as_posix(): p.read_bytes()
                    for p in LICENSES.rglob("*") if p.is_file()})
    return out


# --- the packages as files -----------------------------------------------------------------

def test_zip_is_the_portable_folder():
    z = package(ZIP)
    entries = listing(z)
    want = shipped(DIST32)
    files = {p[len("Tivolna/"):] for p, folder in entries.items() if not folder}
    assert all(p == "Tivolna" or p.startswith("Tivolna/") for p in entries), sorted(entries)
    assert files == set(want)
    assert entries.get("Tivolna/Stations") is True, "the Stations folder, even when empty"
    for name, data in want.items():
        assert extract(z, "Tivolna/" + name) == data, name
    assert pe_machine(want["tivolna.exe"]) == PE_I386


@pytest.mark.parametrize("setup, dist, machine", [(SETUP32, DIST32, PE_I386), (SETUP64, DIST64, PE_AMD64)],
                         ids=["win32", "win64"])
def test_installer_holds_the_dist_folder(setup, dist, machine):
    setup = package(setup)
    assert pe_machine(setup.read_bytes()) == machine   # the 32-bit one runs on 32-bit Windows
    info = subprocess.run(["7z", "l", str(setup)], stdout=subprocess.PIPE, check=True).stdout.decode()
    assert re.search(r"SubType = NSIS-3 Unicode", info), info
    entries = {p for p, folder in listing(setup).items() if not folder and not p.startswith("$PLUGINSDIR/")}
    want = shipped(dist)
    assert entries == set(want) | {"uninstall.exe"}
    for name, data in want.items():
        assert extract(setup, name) == data, name
    assert pe_machine(extract(setup, "tivolna.exe")) == machine


@pytest.mark.skipif(not LICENSES.is_dir(), reason="the repository has no assets/licenses")
def test_packages_carry_the_licences():
    names = {p.relative_to(LICENSES).as_posix() for p in LICENSES.rglob("*") if p.is_file()}
    assert names
    assert {"licenses/" + n for n in names} <= set(listing(package(SETUP32)))
    assert {"Tivolna/licenses/" + n for n in names} <= set(listing(package(ZIP)))


# --- the 64-bit installer under wine64 -----------------------------------------------------

class Machine:
    """One wine prefix in which installers and the installed player run one after another."""

    def __init__(self, player, base):
        self.player = player
        self.base = base

    def launch(self, exe, *args, env=None):
        p = self.player(exe=exe, in_place=True, base=self.base, env=dict(NO_MENUS, **(env or {})),
                        start=False)
        # wine links the desktop to the home folder of this machine: one of the prefix's own
        desktop = self.user / "Desktop"
        if desktop.is_symlink():
            desktop.unlink()
            desktop.mkdir()
        return p.start(*args)

    def run(self, exe, *args, timeout=120, idle=True):
        p = self.launch(exe, *args)
        code = p.wait_exit(timeout)
        if idle:   # the uninstaller carries on in a copy of itself
            p.wait_prefix_idle(timeout)
        self.last = p
        return code

    @property
    def user(self):
        users = [u for u in (self.base / "prefix" / "drive_c" / "users").iterdir() if u.name != "Public"]
        assert len(users) == 1, users
        return users[0]

    @property
    def folder(self):
        return self.user / "AppData" / "Local" / "Programs" / "Tivolna"

    def shortcut(self, where):
        place = {"menu": self.user / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs",
                 "desktop": self.user / "Desktop"}[where]
        return place / "Тиволна.lnk"

    def reg(self, key):
        return self.last.reg_values(key)

    def reg_add(self, key, name, data):
        subprocess.run([WINE, "reg", "add", key, "/v", name,
                        "/d", data, "/f"], env=self.last.env(DISPLAY=""), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def installed_files(folder):
    return {p.relative_to(folder).as_posix() for p in folder.rglob("*") if p.is_file()}


def test_silent_install_runs_the_player_keeps_user_files_on_update_and_uninstalls(player, tmp_path):
    m = Machine(player, tmp_path / "machine")
    setup = package(SETUP64)
    want = shipped(DIST64)
    assert m.run(setup, "/S", "/DESKTOP") == 0

    # the program in the user's local application data, with its shortcuts and its entry
    assert installed_files(m.folder) - INSTALLER_FILES == set(want)
    for name, data in want.items():
        assert (m.folder / name).read_bytes() == data, name
    assert m.shortcut("menu").is_file() and m.shortcut("desktop").is_file()
    entry = m.reg(UNINST_KEY)
    files_kb = sum(len(data) for data in want.values()) // 1024
    assert entry is not None, "no Apps and features entry"
    location = f"C:\\users\\{m.user.name}\\AppData\\Local\\Programs\\Tivolna"
    assert {k: entry.get(k) for k in ("DisplayName", "DisplayVersion", "Publisher", "InstallLocation")} == {
        "DisplayName": "Тиволна", "DisplayVersion": VERSION, "Publisher": "Тиволна", "InstallLocation": location}
    assert entry["DisplayIcon"] == entry["InstallLocation"] + r"\tivolna.exe,0"
    assert entry["UninstallString"] == '"' + entry["InstallLocation"] + r'\uninstall.exe"'
    # what was installed, and little more (the uninstaller and the installer's own notes)
    assert files_kb <= entry["EstimatedSize"] < files_kb + 200

    # the installed player starts and shows its window; while it runs, an installer gives up
    p = m.launch(m.folder / "tivolna.exe")
    w = p.wait_window(MAIN_TITLE)
    (m.folder / "fav.png").write_bytes(b"damaged")
    assert m.run(setup, "/S", idle=False) == 2
    assert (m.folder / "fav.png").read_bytes() == b"damaged"
    assert p.running()
    p.close_window(w)
    assert p.wait_exit(15) == 0

    # an update keeps the user's settings and favourites and replaces the program's files
    config = config_txt(check_updates=0, start_volume=70, autorun=1)
    favs = "http://127.0.0.1:9/a\r\nИзбранная\r\n".encode("cp1251")
    (m.folder / "config.txt").write_bytes(config)
    (m.folder / "favs.txt").write_bytes(favs)
    assert m.run(setup, "/S") == 0
    assert (m.folder / "config.txt").read_bytes() == config
    assert (m.folder / "favs.txt").read_bytes() == favs
    assert (m.folder / "fav.png").read_bytes() == want["fav.png"]

    # the silent uninstaller: the program, its shortcuts, its entry, its Run value and the
    # shipped stations the user never changed go; the user's data, a station the user added
    # and other programs' Run values stay
    m.reg_add(RUN_KEY, "Tivolna", '"' + entry["InstallLocation"] + r'\tivolna.exe"')
    m.reg_add(RUN_KEY, "Other", "other.exe")
    assert m.reg(RUN_KEY).get("Tivolna")
    (m.folder / "Stations" / "play900.txt").write_bytes(b"http://127.0.0.1/mine\r\nMine\r\n")
    assert m.run(m.folder / "uninstall.exe", "/S") == 0
    assert installed_files(m.folder) == {"config.txt", "favs.txt", "Stations/play900.txt"}
    assert not m.shortcut("menu").exists() and not m.shortcut("desktop").exists()
    assert m.reg(UNINST_KEY) is None
    assert m.reg(RUN_KEY) == {"Other": "other.exe"}


def release_from(dist, stations, version, out):
    """A 64-bit installer of the given release with these shipped station files."""
    d = out / f"dist-{version}"
    shutil.copytree(dist, d)
    shutil.rmtree(d / "Stations")
    (d / "Stations").mkdir()
    for name, data in stations.items():
        (d / "Stations" / name).write_bytes(data)
    subprocess.run([str(REPO / "scripts" / "package"), "--target", "win64", "--dist", str(d),
                    "--out", str(out / version), "--version", version], check=True,
                   stdout=subprocess.DEVNULL, timeout=300)
    return out / version / f"tivolna-{version}-win64-setup.exe"


def station(url, title):
    return f"{url}\r\n{title}\r\n".encode("cp1251")


def test_update_replaces_unchanged_station_files_and_keeps_edited_ones(player, tmp_path):
    old = {"1.txt": station("http://127.0.0.1:9/one", "Первая"), "2.txt": station("http://127.0.0.1:9/two", "Вторая"),
           "1.jpg": b"\xff\xd8old logo", "gone.txt": station("http://127.0.0.1:9/gone", "Старая")}
    new = {"1.txt": station("http://127.0.0.1:9/one-new", "Первая"),
           "2.txt": station("http://127.0.0.1:9/two-new", "Вторая"),
           "1.jpg": b"\xff\xd8new logo", "3.txt": station("http://127.0.0.1:9/three", "Третья")}
    v1 = release_from(DIST64, old, "1.0.0", tmp_path / "releases")
    v2 = release_from(DIST64, new, "1.0.1", tmp_path / "releases")
    m = Machine(player, tmp_path / "machine")

    assert m.run(v1, "/S") == 0
    st = m.folder / "Stations"
    assert {p.name: p.read_bytes() for p in st.iterdir()} == old
    edited = station("http://127.0.0.1:9/mine", "Моя вторая")
    added = station("http://127.0.0.1:9/added", "Добавленная")
    (st / "2.txt").write_bytes(edited)
    (st / "9.txt").write_bytes(added)

    assert m.run(v2, "/S") == 0
    assert {p.name: p.read_bytes() for p in st.iterdir()} == {
        "1.txt": new["1.txt"], "1.jpg": new["1.jpg"], "3.txt": new["3.txt"],   # replaced / new
        "2.txt": edited, "9.txt": added,                                       # the user's
        "gone.txt": old["gone.txt"]}                                           # not removed
    assert m.reg(UNINST_KEY)["DisplayVersion"] == "1.0.1"

    # an edit after the update is kept by the next one too; the silent uninstaller keeps the
    # user's files and takes the shipped ones the user never changed
    (st / "1.txt").write_bytes(edited)
    assert m.run(v2, "/S") == 0
    assert (st / "1.txt").read_bytes() == edited
    assert m.run(m.folder / "uninstall.exe", "/S") == 0
    assert sorted(p.name for p in st.iterdir()) == ["1.txt", "2.txt", "9.txt", "gone.txt"]
    assert not (m.folder / "tivolna.exe").exists()


def visible_texts(p):
    return [x.text for x in p.probe() if x.kind == "child" and x.visible]


def wait_texts(p, wanted, timeout=30):
    """The visible control texts of the process's windows once they hold all of `wanted`."""
    deadline = time.monotonic() + timeout
    while True:
        texts = visible_texts(p)
        if all(any(t.startswith(w) for t in texts) for w in wanted):
            return texts
        assert time.monotonic() < deadline, f"no {wanted} among {texts}"
        time.sleep(0.3)


def test_installer_pages_are_russian_and_the_last_one_starts_the_player(player, tmp_path):
    m = Machine(player, tmp_path / "machine")
    p = m.launch(package(SETUP64))
    w = p.wait_window(f"Установка Тиволны {VERSION}")
    wait_texts(p, [f"Установка Тиволны {VERSION}", "Тиволна — проигрыватель интернет-радио.",
                   "&Далее >", "Отмена"])
    time.sleep(1)
    SCREENS.mkdir(parents=True, exist_ok=True)
    shot = p.screenshot(SCREENS / "installer-first-page.png")
    # the welcome picture: the icon's blue disc in the left band of the page
    g = p.geometry(w)
    at = p.grab(shot)
    blue = sum(1 for y in range(g["Y"], g["Y"] + g["HEIGHT"] // 2, 2) for x in range(g["X"], g["X"] + 160, 2)
               if (lambda c: c[2] > 150 and c[0] < 110 and c[2] - c[0] > 80)(at(x, y)))
    assert blue > 200, f"{blue} blue points: no welcome picture in {shot}"

    # Next: the shortcuts, Next: the folder, in the user's own application data
    p.key(w, "Return")
    wait_texts(p, ["Ярлыки", "Ярлык в меню «Пуск» создаётся всегда."])
    p.screenshot(SCREENS / "installer-shortcuts-page.png")
    p.key(w, "Return")
    texts = wait_texts(p, ["Папка установки", "&Установить"])
    p.screenshot(SCREENS / "installer-folder-page.png")
    assert f"C:\\users\\{m.user.name}\\AppData\\Local\\Programs\\Tivolna" in texts, texts
    p.key(w, "Return")
    # the last page offers to start the player, ticked; Finish starts it
    wait_texts(p, ["Тиволна установлена", "Запустить Тиволну", "&Готово"], timeout=60)
    p.screenshot(SCREENS / "installer-last-page.png")
    p.key(w, "Return")
    assert p.wait_exit(30) == 0
    deadline = time.monotonic() + 30
    while not any(x.kind == "top" and x.cls == "TkForm" and x.text == MAIN_TITLE and x.visible
                  for x in p.probe()):
        assert time.monotonic() < deadline, "the player did not start"
        time.sleep(0.3)
    assert (m.folder / "tivolna.exe").read_bytes() == (DIST64 / "tivolna.exe").read_bytes()
    assert m.shortcut("menu").is_file() and not m.shortcut("desktop").exists()


def test_uninstaller_asks_and_deletes_the_users_data_when_told(player, tmp_path):
    m = Machine(player, tmp_path / "machine")
    assert m.run(package(SETUP64), "/S") == 0
    (m.folder / "favs.txt").write_bytes(b"")
    (m.folder / "Stations" / "1.txt").write_bytes(station("http://127.0.0.1:9/a", "Моя"))
    # _?= runs the uninstaller in place instead of from a copy in the temporary folder, so its
    # window is this process's
    u = m.launch(m.folder / "uninstall.exe", f"_?=C:\\users\\{m.user.name}\\AppData\\Local\\Programs\\Tivolna",
                 env={"LC_ALL": "ru_RU.UTF-8"})
    w = u.wait_window("Удаление Тиволны ")   # the pages of the modern interface add a blank
    u.key(w, "Return")   # the confirmation page's default button: Uninstall

    def question():
        for x in u.probe():
            if x.kind == "child" and x.visible and x.text.startswith("Удалить также ваши настройки"):
                return x
        return None
    deadline = time.monotonic() + 30
    while question() is None:
        assert time.monotonic() < deadline, "no question about the user's data"
        time.sleep(0.3)
    # the question defaults to No; answer Yes (the buttons are wine's own)
    yes = [x for x in u.probe() if x.kind == "child" and x.visible and x.text in ("&Да", "Да", "&Yes")]
    assert len(yes) == 1, yes
    box = [t for t in u.windows() if t.mapped and t.title == "Удаление Тиволны"]
    assert len(box) == 1, u.windows()
    x, y, wd, ht = yes[0].rect   # in the box's client area, which is its X window
    u.click(box[0].id, x + wd // 2, y + ht // 2)
    deadline = time.monotonic() + 30
    while (m.folder / "Stations").exists() or (m.folder / "config.txt").exists():
        assert time.monotonic() < deadline, sorted(installed_files(m.folder))
        time.sleep(0.3)
    assert installed_files(m.folder) == {"uninstall.exe"}   # in use while it runs in place
