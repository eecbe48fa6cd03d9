"""Runs the player exe under wine on Xvfb for end-to-end tests: the 64-bit exe under wine64
(the default), or the 32-bit exe under Debian's i386 wine run by qemu-i386 (Session(arch="win32")).

A Session owns what is shared by all tests of one pytest run: an Xvfb display, a PulseAudio
server with a null sink, and a template wine prefix (built once, cached on disk). A Player is
one run of the exe in a fresh folder with a fresh prefix; it offers the helpers the tests use to
drive the windows and read the results.

Every process started here is tracked by id and ended by id; the session makes this process a
child subreaper so that the daemons wine double-forks (wineserver, services.exe, ...) become
our children and can be reaped instead of lingering as zombies.
"""

import array
import ctypes
import fcntl
import collections
import math
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
DEFAULT_EXE = REPO / "build" / "dist-win64" / "tivolna.exe"
ARTIFACTS = REPO / "build" / "e2e-artifacts"
CACHE = Path(os.environ.get("TIVOLNA_E2E_CACHE", REPO / "build" / "e2e-cache"))

MAIN_TITLE = "Тиволна"
FORM_TITLES = ("Тиволна", "Настройка", "Редактор радиостанции", "Обновление Тиволны")

# The main window's place on the screen at its first start, and the logo grid in its client area.
LEFT, TOP = 372, 133
GRID_LEFT, GRID_TOP, ROW_H = 10, 77, 90
STATUS_LABEL = (45, 38)   # a click on the status label copies its text

# Mono and Gecko installers would pop up dialogs in a fresh prefix.
BASE_OVERRIDES = "mscoree,mshtml="
# With these three drivers off wine has no audio endpoint: waveOutGetNumDevs() returns 0.
NO_AUDIO_OVERRIDES = "winepulse.drv=d;winealsa.drv=d;wineoss.drv=d"

FONT_STAND_INS = [("MS Sans Serif", "Liberation Sans"), ("Tahoma", "Liberation Sans"),
                  ("Arial", "Liberation Sans"), ("Arial Narrow", "Liberation Sans Narrow")]
TEMPLATE_VERSION = "3"   # bump when the way the template is made changes


def _tool(name, *fallbacks):
    for cand in (name,) + fallbacks:
        p = shutil.which(cand) if "/" not in cand else (cand if os.access(cand, os.X_OK) else None)
        if p:
            return p
    raise RuntimeError(f"{name} not found")


WINE = _tool("wine64", "/usr/lib/wine/wine64")
WINESERVER = _tool("wineserver", "/usr/lib/wine/wineserver")


PROBE = REPO / "build" / "tools-win64" / "winprobe.exe"
Win = collections.namedtuple("Win", "kind hwnd parent pid visible enabled rect cls text")


def deps_folder():
    """The cache folder of scripts/setup (the same rule as scripts/build)."""
    if os.environ.get("TIVOLNA_DEPS"):
        return Path(os.environ["TIVOLNA_DEPS"])
    return Path("/var/cache/tivolna-deps") if os.geteuid() == 0 else Path.home() / ".cache" / "tivolna-deps"


@dataclass(frozen=True)
class WineKind:
    """How one architecture's exes run: the wine loader, the server, extra environment, the
    dist exe and the helper tools built for it, the template prefix's name."""
    arch: str
    wine: str
    wineserver: str
    env: tuple          # ((name, value), ...) added to every process's environment
    exe: Path
    tools: Path
    template: str
    boot_timeout: int   # wineboot -i of the template

    @property
    def probe(self):
        return self.tools / "winprobe.exe"


WIN64 = WineKind("win64", WINE, WINESERVER, (), DEFAULT_EXE, REPO / "build" / "tools-win64", "prefix", 120)


def i386_dir():
    """The private i386 wine root and qemu of scripts/setup-wine-i386."""
    return deps_folder() / "wine-i386"


def win32_kind():
    """Debian's i386 wine in the private root, reached through qemu-i386 (binfmt_misc); the
    host's wineserver64 (the same wine version) serves it."""
    d = i386_dir()
    server = "/usr/lib/wine/wineserver64"
    return WineKind("win32", str(d / "root" / "usr" / "lib" / "wine" / "wine"), server,
                    (("QEMU_LD_PREFIX", str(d / "root")), ("WINEARCH", "win32"), ("WINESERVER", server)),
                    REPO / "build" / "dist-win32" / "tivolna.exe", REPO / "build" / "tools-win32",
                    "prefix-win32", 300)


def wine_kind(arch=None):
    """The WineKind of "win64" or "win32"; by default $TIVOLNA_E2E_ARCH, else win64."""
    arch = arch or os.environ.get("TIVOLNA_E2E_ARCH", "win64")
    if arch == "win64":
        return WIN64
    if arch == "win32":
        return win32_kind()
    raise ValueError(f"unknown architecture {arch!r}")


def exe_path(arch=None):
    """The exe under test: $TIVOLNA_EXE for the 64-bit runs, else the dist build of the
    architecture (by default $TIVOLNA_E2E_ARCH, else win64)."""
    kind = wine_kind(arch)
    if kind.arch == "win64":
        return Path(os.environ.get("TIVOLNA_EXE", DEFAULT_EXE)).resolve()
    return kind.exe.resolve()


# --------------------------------------------------------------------------------------------
# binfmt_misc entry of the 32-bit runs

BINFMT = Path("/proc/sys/fs/binfmt_misc")
BINFMT_NAME = "tivolna-i386"
# i386 ELF executables and shared objects (e_ident class 1, data 1; e_machine 3).
BINFMT_MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
BINFMT_MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"


class I386Binfmt:
    """The binfmt_misc entry that sends i386 ELF programs to our qemu-i386, held while a 32-bit
    session runs.

    Every session holds a shared lock on a file beside the root; the entry is registered when
    missing and removed by the last session that ends (the one that gets the lock exclusively),
    so parallel runs never pull it from under each other, and the machine is left without it.
    Flag F: the kernel opens qemu at registration, so the entry works in any mount namespace.
    """

    def __init__(self, folder=None):
        self.folder = Path(folder or i386_dir())
        self.qemu = self.folder / "qemu-i386"
        self._lock = None

    def entry(self):
        return BINFMT / BINFMT_NAME

    def acquire(self):
        if not (self.folder / "ready").is_file() or not os.access(self.qemu, os.X_OK):
            raise RuntimeError(f"no i386 wine in {self.folder}: run scripts/setup (scripts/setup-wine-i386)")
        self._lock = open(self.folder / "binfmt.lock", "a")
        fcntl.flock(self._lock, fcntl.LOCK_SH)
        try:
            if not (BINFMT / "register").exists():
                subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", str(BINFMT)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
            if self._current() != str(self.qemu):
                if not os.access(BINFMT / "register", os.W_OK):
                    raise RuntimeError("32-bit runs need a binfmt_misc entry for i386 ELF; "
                                       f"{BINFMT} cannot be written (run as root)")
                if self.entry().exists():
                    self.entry().write_text("-1")
                (BINFMT / "register").write_text(f":{BINFMT_NAME}:M::{BINFMT_MAGIC}:{BINFMT_MASK}:{self.qemu}:F")
            if self._current() != str(self.qemu):
                raise RuntimeError(f"binfmt_misc entry {BINFMT_NAME} was not registered")
        except BaseException:
            self.release()
            raise
        return self

    def _current(self):
        try:
            text = self.entry().read_text()
        except OSError:
            return None
        m = re.search(r"^interpreter (.*)$", text, re.M)
        return m.group(1) if m and text.startswith("enabled") else None

    def release(self):
        if self._lock is None:
            return
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            pass   # another session still runs 32-bit programs
        else:
            try:
                if self.entry().exists():
                    self.entry().write_text("-1")
            except OSError:
                pass
        self._lock.close()
        self._lock = None


def build_setting(name, build="win64"):
    """A CMake cache value of a Windows build (e.g. TIVOLNA_PRODUCT_SITE_URL)."""
    cache = REPO / "build" / build / "CMakeCache.txt"
    for line in cache.read_text().splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1]
    raise KeyError(name)


def windows_path(p):
    """Unix path as wine sees it through drive Z:."""
    return "Z:" + str(Path(p).resolve()).replace("/", "\\")


def wait_for(cond, timeout, what, interval=0.1):
    """Poll until cond() is true; after `timeout` s fail naming `what` (a text, or a function
    that gives one)."""
    deadline = time.monotonic() + timeout
    while not cond():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what() if callable(what) else what}")
        time.sleep(interval)


def make_logo(path, ext, colour):
    """A 200 x 160 logo: a solid field with a white band, so the tile shows a real picture."""
    r, g, b = colour
    subprocess.run(["convert", "-size", "200x160", f"xc:rgb({r},{g},{b})", "-fill", "white",
                    "-draw", "rectangle 0,120 199,159", str(path)], check=True)


def cell_centre(n, col_width=96):
    """Client point of the n-th tile (from 1) of a grid, in its top part."""
    col, row = (n - 1) % 5, (n - 1) // 5
    return GRID_LEFT + col * col_width + col_width // 2, GRID_TOP + row * ROW_H + 30


def config_txt(check_updates=0, open_last=0, start_volume=25, last_number=-1, autorun=0):
    """A config.txt as the player writes it (ten CR LF lines)."""
    lines = ["check_updates", str(check_updates), "open_last", str(open_last),
             "start_volume", str(start_volume), "last_number", str(last_number),
             "autorun", str(autorun)]
    return "".join(l + "\r\n" for l in lines).encode("ascii")


_ROOTS = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT",
          "HKU": "HKEY_USERS"}


def _expand_root(key):
    root, _, rest = key.partition("\\")
    root = _ROOTS.get(root.upper(), root)
    return root + ("\\" + rest if rest else "")


def _reg_unescape(s):
    return re.sub(r"\\(.)", lambda m: m.group(1), s)


# ---------------------------------------------------------------------------------------------
# process bookkeeping

def _set_subreaper():
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(36, 1, 0, 0, 0)   # PR_SET_CHILD_SUBREAPER
    except OSError:
        pass


def _proc_stat(pid):
    """(ppid, state) of a process, or None when it is gone."""
    try:
        data = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    rest = data[data.rindex(")") + 2:].split()
    return int(rest[1]), rest[0]


def _pids_with_env(key, value):
    """Live processes whose environment holds key=value (zombies have no readable environ)."""
    needle = f"{key}={value}".encode() + b"\0"
    found = []
    for d in os.listdir("/proc"):
        if not d.isdigit() or int(d) == os.getpid():
            continue
        try:
            env = Path(f"/proc/{d}/environ").read_bytes()
        except OSError:
            continue
        if (b"\0" + env).find(b"\0" + needle) >= 0:
            found.append(int(d))
    return found


_POPENS = []   # our Popen objects: their exit status is theirs to collect


def _popen(*args, **kw):
    p = subprocess.Popen(*args, **kw)
    _POPENS.append(p)
    return p


def reap_zombie_children():
    """Reap our zombie children (orphaned wine daemons), except pids a Popen still owns."""
    me = os.getpid()
    _POPENS[:] = [p for p in _POPENS if p.returncode is None]
    keep = {p.pid for p in _POPENS}
    for d in os.listdir("/proc"):
        if not d.isdigit() or int(d) in keep:
            continue
        st = _proc_stat(int(d))
        if st and st[0] == me and st[1] == "Z":
            try:
                os.waitpid(int(d), os.WNOHANG)
            except ChildProcessError:
                pass


def _kill_pids(pids, sig=signal.SIGKILL):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass


def _stop_popen(proc, timeout=5):
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(5)


def kill_prefix(prefix, base_env, timeout=10, wineserver=WINESERVER):
    """End every process running in a wine prefix: wineserver -k, then SIGKILL by id."""
    env = dict(base_env, WINEPREFIX=str(prefix))
    if _pids_with_env("WINEPREFIX", str(prefix)):
        subprocess.run([wineserver, "-k"], env=env, timeout=timeout,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        left = _pids_with_env("WINEPREFIX", str(prefix))
        if not left:
            break
        time.sleep(0.1)
    _kill_pids(_pids_with_env("WINEPREFIX", str(prefix)))


def _run(cmd, env, timeout=10, check=True, **kw):
    return subprocess.run(cmd, env=env, timeout=timeout, check=check,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


# ---------------------------------------------------------------------------------------------
# session: display, sound server, template prefix

class Session:
    """Xvfb + PulseAudio null sink + template prefix, shared by the tests of one run."""

    def __init__(self, display=None, system_sound=False, arch=None):
        """display: use this X display instead of starting Xvfb; system_sound: play through
        the user's own sound server instead of a private null sink; arch: "win64" (wine64) or
        "win32" (the i386 wine under qemu), by default $TIVOLNA_E2E_ARCH, else win64."""
        _set_subreaper()
        self.kind = wine_kind(arch)
        self.binfmt = None
        self.tmp = Path(tempfile.mkdtemp(prefix="tivolna-e2e-"))
        self.xvfb = None
        self.pulse = None
        self.display = display
        self.system_sound = system_sound
        self.pulse_socket = None
        self.template = None
        self.timings = {}

    # Base environment of every tool we run against the display.
    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("WINE", "PULSE_", "TIVOLNA_"))}
        env.update(DISPLAY=self.display or "", WINEDEBUG="-all", WINEDLLOVERRIDES=BASE_OVERRIDES,
                   PULSE_SERVER=f"unix:{self.pulse_socket}" if self.pulse_socket else "unix:/nonexistent",
                   LC_ALL="C.UTF-8")
        env.update(self.kind.env)
        if self.system_sound:
            env.pop("PULSE_SERVER")
            for k in ("PULSE_SERVER", "XDG_RUNTIME_DIR"):
                if k in os.environ:
                    env[k] = os.environ[k]
        env.update(extra)
        return env

    @property
    def wine(self):
        """The wine loader of this session's architecture."""
        return self.kind.wine

    def start(self):
        try:
            if self.kind.arch == "win32":
                self.binfmt = I386Binfmt().acquire()
            if not self.display:
                self._start_xvfb()
            if not self.system_sound:
                self._start_pulse()
            self.template = self._template_prefix()
        except BaseException:
            self.close()
            raise
        return self

    def _start_xvfb(self):
        r, w = os.pipe()
        log = open(self.tmp / "xvfb.log", "wb")
        self.xvfb = _popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=log, stderr=log, start_new_session=True)
        os.close(w)
        log.close()
        num = b""
        deadline = time.monotonic() + 15
        os.set_blocking(r, False)
        while time.monotonic() < deadline and not num.endswith(b"\n"):
            try:
                chunk = os.read(r, 16)
                if chunk == b"":
                    break
                num += chunk
            except BlockingIOError:
                time.sleep(0.05)
            if self.xvfb.poll() is not None:
                break
        os.close(r)
        if not num.strip().isdigit():
            raise RuntimeError("Xvfb did not start: " + (self.tmp / "xvfb.log").read_text()[-2000:])
        self.display = ":" + num.decode().strip()
        deadline = time.monotonic() + 15
        while _run(["xdpyinfo"], self.env(), check=False).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError(f"display {self.display} does not answer")
            time.sleep(0.1)

    def _start_pulse(self):
        rt = self.tmp / "pulse"
        rt.mkdir(mode=0o700)
        self.pulse_socket = rt / "native"
        env = self.env(XDG_RUNTIME_DIR=str(rt), PULSE_RUNTIME_PATH=str(rt), HOME=str(rt))
        env.pop("PULSE_SERVER")
        log = open(self.tmp / "pulse.log", "wb")
        self.pulse = _popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--load=module-null-sink sink_name=nul",
             f"--load=module-native-protocol-unix auth-anonymous=1 socket={self.pulse_socket}"],
            env=env, stdout=log, stderr=log, start_new_session=True)
        log.close()
        deadline = time.monotonic() + 15
        while _run(["pactl", "info"], self.env(), check=False).returncode != 0:
            if self.pulse.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("pulseaudio did not start: "
                                   + (self.tmp / "pulse.log").read_text()[-2000:])
            time.sleep(0.1)
        _run(["pactl", "set-default-sink", "nul"], self.env(), check=False)
        self._warm_sound()

    def _warm_sound(self, timeout=10):
        """One round trip through the sink before any test: a short tone played with pacat and
        recorded from the monitor, so that the first test's recording does not meet a server
        that is still setting up its first streams."""
        tone = array.array("h")
        for i in range(RATE // 2):
            v = int(3000 * math.sin(2 * math.pi * 440 * i / RATE))
            tone.extend((v, v))
        rec = _popen(["parec", "-d", "nul.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                      "--latency-msec=20"], env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            _run(["pacat", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=20"],
                 self.env(), timeout=timeout, check=False, input=tone.tobytes())
            os.set_blocking(rec.stdout.fileno(), False)
            got, deadline = 0, time.monotonic() + timeout
            while got < RATE and time.monotonic() < deadline:
                chunk = rec.stdout.read(65536)
                got += len(chunk or b"")
                time.sleep(0.05)
        finally:
            _stop_popen(rec)
            rec.stdout.close()

    def _template_prefix(self):
        """The cached template prefix, made with wineboot -i when missing or stale."""
        wine, server = self.kind.wine, self.kind.wineserver
        ver = _run([wine, "--version"], self.env(), timeout=60, check=False).stdout.decode().strip()
        stamp_text = f"{TEMPLATE_VERSION} {ver} {BASE_OVERRIDES}\n"
        CACHE.mkdir(parents=True, exist_ok=True)
        template = CACHE / self.kind.template
        stamp = CACHE / f"{self.kind.template}.stamp"
        with open(CACHE / "lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if template.is_dir() and stamp.is_file() and stamp.read_text() == stamp_text:
                return template
            t0 = time.monotonic()
            building = CACHE / f"{self.kind.template}.new.{os.getpid()}"
            shutil.rmtree(building, ignore_errors=True)
            env = self.env(WINEPREFIX=str(building))
            env.pop("DISPLAY")
            try:
                r = _run([wine, "wineboot", "-i"], env, timeout=self.kind.boot_timeout, check=False)
                if r.returncode != 0:
                    raise RuntimeError("wineboot -i failed: " + r.stderr.decode(errors="replace"))
                # A crash prints winedbg's backtrace to stderr instead of opening a dialog.
                # Windows' fonts with Cyrillic are missing here, and wine's own Tahoma and MS Sans
                # Serif lack Cyrillic: stand in the metric-compatible Liberation fonts (Arial's
                # metrics), as a Windows font substitution would.
                for face, by in FONT_STAND_INS:
                    _run([wine, "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", face, "/d", by,
                          "/f"], env, timeout=60)
                _run([wine, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                      "/t", "REG_DWORD", "/d", "0", "/f"], env, timeout=60)
                _run([server, "-w"], env, timeout=60, check=False)
            finally:
                kill_prefix(building, env, wineserver=server)
                reap_zombie_children()
            # The file named wineserver is a leftover of the server's lock, not prefix content.
            (building / "wineserver").unlink(missing_ok=True)
            stamp.unlink(missing_ok=True)
            shutil.rmtree(template, ignore_errors=True)
            building.rename(template)
            stamp.write_text(stamp_text)
            self.timings["template"] = time.monotonic() - t0
            return template

    def new_prefix(self, dest):
        """A private copy of the template: files under drive_c/windows are hard links (wine
        only reads them), the registry and everything else is copied."""
        src = self.template
        windir = src / "drive_c" / "windows"
        private = (windir / "temp", windir / "logs")
        for root, dirs, files in os.walk(src):
            rootp = Path(root)
            out = dest / rootp.relative_to(src)
            out.mkdir(exist_ok=True)
            shutil.copystat(rootp, out)
            for name in list(dirs):
                if (rootp / name).is_symlink():
                    dirs.remove(name)
                    files.append(name)
            for name in files:
                s = rootp / name
                d = out / name
                if s.is_symlink():
                    os.symlink(os.readlink(s), d)
                elif (rootp == windir or windir in rootp.parents) and \
                        not any(p == rootp or p in rootp.parents for p in private) and \
                        not name.endswith(".ini"):
                    try:
                        os.link(s, d)
                    except OSError:
                        shutil.copy2(s, d)
                else:
                    shutil.copy2(s, d)
        return dest

    def close(self):
        _stop_popen(self.pulse)
        _stop_popen(self.xvfb)
        reap_zombie_children()
        shutil.rmtree(self.tmp, ignore_errors=True)
        if self.binfmt is not None:
            self.binfmt.release()
            self.binfmt = None


# ---------------------------------------------------------------------------------------------
# one run of the exe

@dataclass
class TopWindow:
    id: int
    title: str
    mapped: bool
    x: int
    y: int
    width: int
    height: int


# ---------------------------------------------------------------------------------------------
# tone measures

RATE = 44100
# The tones of the test material (tools/make_media.sh): what a wrong station, a stale buffer or
# another engine would play instead of the expected one.
TEST_TONES = (440, 550, 660, 770, 825, 880, 990, 1000, 1100, 1320, 1760)
TONE_WINDOW = 8192      # 186 ms: 5.4 Hz bins, so 990 and 1000 Hz stay apart
_BLOCK = 220            # 5 ms: a gap longer than this leaves its window out
_MAX_WINDOWS = 48       # cost bound: about 9 s of sound
_HANN = [0.5 - 0.5 * math.cos(2 * math.pi * i / TONE_WINDOW) for i in range(TONE_WINDOW)]


def steady_windows(samples, threshold=0.01):
    """Hann-weighted, gap-free windows of the steady part of `samples` (see
    Recording.steady_windows); at most _MAX_WINDOWS, spread over the whole steady part."""
    nblocks = len(samples) // _BLOCK
    levels = []
    for b in range(nblocks):
        part = samples[b * _BLOCK:(b + 1) * _BLOCK]
        levels.append(math.sqrt(sum(v * v for v in part) / _BLOCK))
    loud = sorted(l for l in levels if l > threshold * 32768)
    if not loud:
        return []
    floor = max(threshold * 32768, loud[len(loud) // 2] / 4)
    per = TONE_WINDOW // _BLOCK
    starts, b = [], 0
    while b + per <= nblocks:
        bad = [i for i in range(b, b + per) if levels[i] < floor]
        if bad:
            b = bad[-1] + 1
            continue
        starts.append(b * _BLOCK)
        b += per
    if len(starts) > _MAX_WINDOWS:
        step = len(starts) / _MAX_WINDOWS
        starts = [starts[int(i * step)] for i in range(_MAX_WINDOWS)]
    return [[v * w for v, w in zip(samples[s:s + TONE_WINDOW], _HANN)] for s in starts]


def _goertzel(window, freq):
    """|X(freq)|^2 of one window."""
    k = 2 * math.cos(2 * math.pi * freq / RATE)
    s1 = s2 = 0.0
    for x in window:
        s1, s2 = x + k * s1 - s2, s1
    return s1 * s1 + s2 * s2 - k * s1 * s2


def tone_shares(windows, freqs):
    """{freq: share of the windows' energy at freq}: 1.0 for a pure tone exactly there, near 0
    a few bins away. For a Hann window |X|^2 of a sine is N/3 times its windowed energy."""
    energy = sum(sum(x * x for x in w) for w in windows)
    if not energy:
        return {f: 0.0 for f in freqs}
    return {f: sum(_goertzel(w, f) for w in windows) / (energy * TONE_WINDOW / 3) for f in freqs}


def dominant_frequency(windows):
    """The frequency of the strongest sine in the windows, 0.0 without any."""
    if not windows:
        return 0.0
    crossings = sum(sum(1 for a, b in zip(w, w[1:]) if (a < 0) != (b < 0)) for w in windows)
    coarse = crossings / 2 / (len(windows) * TONE_WINDOW / RATE)
    few = windows[:: max(1, len(windows) // 8)]
    # Golden-section search for the Goertzel peak within two bins of the zero-crossing figure.
    lo, hi = coarse - 2 * RATE / TONE_WINDOW, coarse + 2 * RATE / TONE_WINDOW
    g = (math.sqrt(5) - 1) / 2

    def power(f):
        return sum(_goertzel(w, f) for w in few)
    a, b = hi - g * (hi - lo), lo + g * (hi - lo)
    pa, pb = power(a), power(b)
    while hi - lo > 0.05:
        if pa < pb:
            lo, a, pa = a, b, pb
            b = lo + g * (hi - lo)
            pb = power(b)
        else:
            hi, b, pb = b, a, pa
            a = hi - g * (hi - lo)
            pa = power(a)
    return (lo + hi) / 2


@dataclass
class ToneCheck:
    """Result of Recording.tone(): true when the expected tone dominates the steady part."""
    expected: float
    share: float        # of the steady part's energy at the expected frequency
    rival: float        # the strongest other test tone
    rival_share: float
    seconds: float      # length of the steady part measured
    measured: float     # the dominant frequency, for the message

    MIN_SHARE = 0.5     # a pure tone gives about 1; half a bin off still gives 0.8
    MIN_LEAD = 10       # times the strongest other test tone
    MIN_SECONDS = 0.3

    def __bool__(self):
        return (self.seconds >= self.MIN_SECONDS and self.share >= self.MIN_SHARE
                and self.share >= self.MIN_LEAD * self.rival_share)

    def __str__(self):
        return (f"{self.expected:g} Hz: {self.share:.2f} of the energy of {self.seconds:.2f} s of steady "
                f"sound (need {self.MIN_SHARE} and {self.MIN_LEAD}x any other test tone; strongest other "
                f"{self.rival:g} Hz with {self.rival_share:.3f}); dominant frequency {self.measured:.1f} Hz")

    __repr__ = __str__


def measure_tone(samples, expected, threshold=0.01):
    windows = steady_windows(samples, threshold)
    seconds = len(windows) * TONE_WINDOW / RATE
    others = [f for f in TEST_TONES if abs(f - expected) > 2 * RATE / TONE_WINDOW]
    shares = tone_shares(windows, [expected] + others)
    rival = max(others, key=lambda f: shares[f])
    return ToneCheck(expected, shares[expected], rival, shares[rival], seconds, dominant_frequency(windows))


class Recording:
    """Sound played into the null sink, recorded from its monitor with parec."""

    def __init__(self, session, path):
        self.session = session
        self.raw = Path(path).with_suffix(".raw")
        self.wav = Path(path).with_suffix(".wav")
        self._out = open(self.raw, "wb")
        self.proc = _popen(
            ["parec", "-d", "nul.monitor", "--format=s16le", "--rate=44100", "--channels=2",
             "--latency-msec=20"],
            env=session.env(), stdout=self._out, stderr=subprocess.DEVNULL)

    def stop(self):
        """Stop recording; returns the wav file."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self._out.close()
        _run(["sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2",
              str(self.raw), str(self.wav)], self.session.env())
        return self.wav

    def stats(self):
        """sox 'stat' figures of the recording, e.g. {'RMS     amplitude': 0.18, ...}."""
        r = _run(["sox", str(self.wav), "-n", "stat"], self.session.env())
        out = {}
        for line in r.stderr.decode().splitlines():
            if ":" in line:
                k, v = line.split(":", 1)
                try:
                    out[k.strip()] = float(v)
                except ValueError:
                    pass
        return out

    def samples(self):
        """Left-channel samples (-32768..32767). The null sink's monitor delivers data only
        while something plays, so the length says little about the recording time."""
        data = array.array("h")
        data.frombytes(self.raw.read_bytes()[: self.raw.stat().st_size // 4 * 4])
        return data[0::2]

    def rms(self):
        """RMS of the left channel, 0..1."""
        s = self.samples()
        return (sum(v * v for v in s) / len(s)) ** 0.5 / 32768 if s else 0.0

    def steady_windows(self, threshold=0.01):
        """Hann-weighted windows of TONE_WINDOW samples from the steady part of the recording:
        every 5 ms block inside has sound near the recording's typical level, so the start, the
        end, gaps (an output that ran dry on a busy machine) and fades are left out."""
        return steady_windows(self.samples(), threshold)

    def tone(self, expected, threshold=0.01):
        """The tone check: the share of the steady part's energy at `expected` Hz against the
        other test tones (Goertzel). True when the expected tone carries most of the energy
        and clearly more than any other test tone; str() explains the figures."""
        return measure_tone(self.samples(), expected, threshold)

    def frequency(self, threshold=0.01):
        """Dominant frequency in Hz of the steady part (zero crossings inside gap-free windows,
        refined to the Goertzel peak); 0 when there is no steady sound."""
        return dominant_frequency(self.steady_windows(threshold))


class Player:
    """One run of the exe.

    Layout under `base`: app/ (the exe, everything beside it, Stations/, the given files),
    cwd/ (working directory, deliberately not app/), prefix/, wine.log.
    """

    def __init__(self, session, base, exe=None, stations=None, files=None, audio=True, env=None,
                 keep=False, in_place=False):
        """keep: a folder from an earlier run is used again: the exe's files are refreshed,
        the user's files (settings, favourites, Stations) and the prefix stay.
        in_place: the exe runs where it is (an installer, an installed program), nothing is
        copied; runs with the same base share one prefix, made by the first."""
        self.session = session
        self.base = Path(base)
        self.app = self.base / "app"
        self.cwd = self.base / "cwd"
        self.prefix = self.base / "prefix"
        self.log_path = self.base / "wine.log"
        self.audio = audio
        self.extra_env = dict(env or {})
        self.proc = None
        self.exit_code = None
        self._recordings = []

        src = Path(exe) if exe else exe_path(session.kind.arch)
        if not src.is_file():
            raise FileNotFoundError(f"exe not built: {src}")
        if in_place:
            self.app, self.exe = src.parent, src
            self.cwd.mkdir(parents=True, exist_ok=True)
            if not (self.prefix / "system.reg").is_file():
                self.prefix.mkdir(parents=True, exist_ok=True)
                session.new_prefix(self.prefix)
            return
        # A folder used again keeps the user's settings and favourites.
        kept = {n: (self.app / n).read_bytes() for n in ("config.txt", "favs.txt")
                if keep and (self.app / n).is_file()}
        shutil.copytree(src.parent, self.app, dirs_exist_ok=keep)
        for n, data in kept.items():
            (self.app / n).write_bytes(data)
        self.exe = self.app / src.name
        st = self.app / "Stations"
        if stations is not None:
            shutil.rmtree(st, ignore_errors=True)
            st.mkdir()
            for name, data in stations.items():
                (st / name).write_bytes(data)
        st.mkdir(exist_ok=True)
        for name, data in (files or {}).items():
            p = self.app / name
            p.parent.mkdir(parents=True, exist_ok=True)
            p.write_bytes(data)
        self.cwd.mkdir(exist_ok=keep)
        if keep and (self.prefix / "system.reg").is_file():
            return
        self.prefix.mkdir(exist_ok=keep)
        session.new_prefix(self.prefix)

    def __enter__(self):
        return self if self.proc else self.start()

    def __exit__(self, *exc):
        self.close()

    @property
    def stations(self):
        return self.app / "Stations"

    @property
    def wine(self):
        """The wine loader that runs this player (wine64, or the i386 wine)."""
        return self.session.kind.wine

    @property
    def tools(self):
        """The folder of the test helper exes of this architecture (winprobe, trustcert, ...)."""
        return self.session.kind.tools

    @property
    def pid(self):
        return self.proc.pid if self.proc else None

    def env(self, **extra):
        overrides = BASE_OVERRIDES + ("" if self.audio else ";" + NO_AUDIO_OVERRIDES)
        env = self.session.env(WINEPREFIX=str(self.prefix), WINEDLLOVERRIDES=overrides)
        if not self.audio:
            env["PULSE_SERVER"] = "unix:/nonexistent"
        env.update(self.extra_env)
        env.update(extra)
        return env

    def start(self, *args):
        """Starts the exe under the session's wine; `args` are its command-line arguments
        (tool exes only: the player reads none)."""
        self._args = args
        self._own_windows_ever = False
        log = open(self.log_path, "wb")
        self.t_start = time.monotonic()
        self.proc = _popen([self.wine, str(self.exe), *args], cwd=self.cwd, env=self.env(),
                                     stdout=log, stderr=log, start_new_session=True)
        log.close()
        return self

    # --- the process ---------------------------------------------------------------------

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=30):
        """Exit code of the exe (wine64 passes the Windows exit code through)."""
        try:
            self.exit_code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"exe still running after {timeout} s") from None
        return self.exit_code

    def wait_prefix_idle(self, timeout=60):
        """Wait until no program runs in the prefix any more (wineserver -w): for programs
        that hand their work on to another process, such as an uninstaller."""
        _run([self.session.kind.wineserver, "-w"], self.env(), timeout=timeout)

    def close(self):
        """End everything this run started (idempotent)."""
        for rec in self._recordings:
            try:
                rec.stop()
            except Exception:
                pass
        if self.proc is not None:
            kill_prefix(self.prefix, self.session.env(), wineserver=self.session.kind.wineserver)
            if self.proc.poll() is None:
                try:
                    os.killpg(self.proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        reap_zombie_children()

    # --- the Win32 view of the windows -------------------------------------------------

    def probe(self):
        """Top-level windows and their children as Win32 sees them, from winprobe.exe run in
        this prefix: [Win(kind, hwnd, parent, pid, visible, enabled, rect, cls, text)],
        top-level windows by handle (handles are reused, so this is not creation order; X
        window ids are), each followed by its children."""
        out = _run([self.wine, str(self.session.kind.probe)], env=self.env(), timeout=60).stdout
        wins = []
        for line in out.decode("utf-8", "replace").splitlines():
            f = line.split("\t")
            if len(f) != 9 or f[0] not in ("top", "child"):
                continue
            x, y, w, h = (int(v) for v in f[6].split(","))
            wins.append(Win(f[0], int(f[1]), int(f[2]), int(f[3]), f[4] == "1", f[5] == "1",
                            (x, y, w, h), f[7], f[8]))
        return wins

    def forms(self):
        """The program's own top-level windows (class TkForm), by handle."""
        return [w for w in self.probe() if w.kind == "top" and w.cls == "TkForm"]

    def box_texts(self):
        """Texts of the visible message boxes: [(caption, [texts of their static controls])]."""
        out, current = [], None
        for w in self.probe():
            if w.kind == "top":
                current = (w.text, []) if (w.cls == "#32770" and w.visible) else None
                if current:
                    out.append(current)
            elif current is not None and w.cls.lower() == "static" and w.text:
                current[1].append(w.text)
        return out

    # --- windows -------------------------------------------------------------------------

    def _x(self, *args, timeout=10, check=True):
        # A busy Xvfb now and then refuses a new connection; that is no answer, so ask again.
        for _ in range(30):
            r = _run(list(args), self.session.env(), timeout=timeout, check=False)
            if r.returncode == 0 or b"unable to open display" not in r.stderr.lower() + r.stdout.lower():
                break
            time.sleep(0.1)
        if check:
            r.check_returncode()
        return r

    def _own_windows(self):
        """[(id, title)] of the top-level X windows of this process, oldest first.

        Titles come from _NET_WM_NAME (UTF-8), not WM_NAME, whose encoding follows the locale.
        """
        tree = self._x("xwininfo", "-root", "-children").stdout.decode("utf-8", "replace")
        out = []
        for wid in sorted(int(m.group(1), 16) for m in re.finditer(r"^\s+0x([0-9a-f]+) ", tree, re.M)):
            r = self._x("xprop", "-id", str(wid), "_NET_WM_PID", "_NET_WM_NAME", check=False)
            text = r.stdout.decode("utf-8", "replace")
            m = re.search(r"_NET_WM_PID\(CARDINAL\) = (\d+)", text)
            if not m or int(m.group(1)) != self.pid:
                continue
            m = re.search(r'_NET_WM_NAME\(UTF8_STRING\) = "(.*)"', text)
            out.append((wid, m.group(1) if m else ""))
        if out:
            self._own_windows_ever = True
        return out

    def find_windows(self, title, visible_only=False):
        """X window ids of this process whose title matches exactly, oldest first."""
        ids = [w for w, t in self._own_windows() if t == title]
        return [w for w in ids if self.is_mapped(w)] if visible_only else ids

    def form_window(self, title=MAIN_TITLE):
        """The first-created window of this process with the title, or None.

        Message boxes may carry the same caption as a form (the main one's, typically), but
        the forms live for the whole run and are created before any box.
        """
        ws = self.find_windows(title)
        return ws[0] if ws else None

    def is_mapped(self, wid):
        r = self._x("xwininfo", "-id", str(wid), check=False)
        return b"Map State: IsViewable" in r.stdout

    def wait_window(self, title=MAIN_TITLE, timeout=30, visible=True):
        """Wait until the form window with the title exists (and is mapped); its id."""
        deadline = time.monotonic() + timeout
        retried = False
        while True:
            w = self.form_window(title)
            if w is not None and (not visible or self.is_mapped(w)):
                return w
            if not self.running():
                # wine itself failing to start the process (code 1, nothing logged, no window
                # ever made; seen once on a loaded machine) is not the program's doing: once
                # more. The program never ends with 1.
                if (not retried and self.proc.returncode == 1 and self.log_path.stat().st_size == 0
                        and not self._own_windows_ever):
                    retried = True
                    kill_prefix(self.prefix, self.session.env(), wineserver=self.session.kind.wineserver)
                    self.start(*self._args)
                    continue
                raise AssertionError(f'exe ended (code {self.proc.returncode}) without window "{title}"')
            if time.monotonic() > deadline:
                raise TimeoutError(f'no window "{title}" after {timeout} s; windows: {self.windows()}')
            time.sleep(0.1)

    def boxes(self):
        """Mapped windows of this process that are not one of the four forms (message boxes,
        error reports), oldest first."""
        forms = set()
        for t in FORM_TITLES:
            w = self.form_window(t)
            if w is not None:
                forms.add(w)
        return [t for t in self.windows() if t.mapped and t.id not in forms]

    def dismiss_boxes(self, key="Return"):
        """Answer every open box with a key; returns the titles of the boxes answered."""
        done = []
        for t in self.boxes():
            try:
                self.key(t.id, key)
                done.append(t.title)
            except (TimeoutError, subprocess.CalledProcessError):
                if self.is_mapped(t.id):
                    raise
                done.append(t.title)   # it went away while being answered
        return done

    def windows(self):
        """Named top-level windows of this process, in X creation order (ascending id).

        Under wine every top-level Win32 window, hidden ones included, has an X window with the
        caption as _NET_WM_NAME; hidden ones are unmapped. wine adds an unmapped "Default IME"
        window, which is left out here. Ids ascend with creation within one thread's X
        connection (wine opens one per thread).
        """
        out = []
        for wid, title in self._own_windows():
            if title in ("", "Default IME"):
                continue
            info = self._x("xwininfo", "-id", str(wid), check=False).stdout.decode("utf-8", "replace")
            if "Map State" not in info:
                continue   # gone meanwhile

            def field(label):
                return int(re.search(label + r":\s+(-?\d+)", info).group(1))

            out.append(TopWindow(wid, title, "Map State: IsViewable" in info,
                                 field("Absolute upper-left X"), field("Absolute upper-left Y"),
                                 field("Width"), field("Height")))
        return out

    def geometry(self, wid):
        """{'X','Y','WIDTH','HEIGHT'} of a window as xdotool reports it. For a top-level
        window wine's X window is the client area (borders and caption are not part of it)."""
        r = self._x("xdotool", "getwindowgeometry", "--shell", str(wid))
        return {k: int(v) for k, v in (l.split("=") for l in r.stdout.decode().split())
                if k in ("X", "Y", "WIDTH", "HEIGHT")}

    # --- input ---------------------------------------------------------------------------

    def focus(self, wid, timeout=5):
        """Give a window the X input focus (there is no window manager to activate it)."""
        deadline = time.monotonic() + timeout
        while True:
            self._x("xdotool", "windowfocus", str(wid), check=False)
            r = self._x("xdotool", "getwindowfocus", check=False)
            if r.stdout.strip() == str(wid).encode():
                time.sleep(0.2)   # let wine see FocusIn before keys arrive
                return
            if time.monotonic() > deadline:
                raise TimeoutError(f"window {wid} does not take the focus")
            time.sleep(0.1)

    def key(self, wid, *keys):
        """Focus the window, then send key chords (xdotool syntax: 'alt+F4', 'Return')."""
        self.focus(wid)
        self._x("xdotool", "key", "--window", str(wid), *keys)

    def type_text(self, wid, text):
        self.focus(wid)
        self._x("xdotool", "type", "--window", str(wid), "--delay", "30", text, timeout=30)

    def click(self, wid, x, y, button=1):
        """Click at client coordinates of a window."""
        self._x("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", str(button))

    def close_window(self, wid):
        self.key(wid, "alt+F4")

    def pointer_away(self, settle=0.3):
        """Move the pointer off the windows (no hover effects, no hints) and let them redraw."""
        self._x("xdotool", "mousemove", "1000", "700")
        time.sleep(settle)

    def drag_window(self, wid, dx, pause=0.05):
        """Drag the window by its client point (100, 20) dx pixels sideways in ten steps."""
        g = self.geometry(wid)
        self._x("xdotool", "mousemove", "--window", str(wid), "100", "20", "mousedown", "1")
        time.sleep(max(0.3, 5 * pause))
        for i in range(1, 11):
            self._x("xdotool", "mousemove", str(g["X"] + 100 + dx * i // 10), str(g["Y"] + 20))
            time.sleep(pause)
        self._x("xdotool", "mouseup", "1")

    def copy_status(self, wid, timeout=10):
        """Click the status label, answer its confirmation and return the copied text."""
        self.click(wid, *STATUS_LABEL)
        wait_for(self.boxes, timeout, "the copy's confirmation")
        self.dismiss_boxes()
        wait_for(lambda: not self.boxes(), timeout, "the box to close")
        return self.clipboard()

    # --- results -------------------------------------------------------------------------

    def file(self, name):
        """Bytes of a file in the app folder, or None."""
        p = self.app / name
        return p.read_bytes() if p.is_file() else None

    def reg_query(self, key, value=None):
        """'wine reg query' in this run's prefix; raw text, or None when the key/value is absent."""
        cmd = [self.wine, "reg", "query", key] + (["/v", value] if value is not None else [])
        r = _run(cmd, self.env(DISPLAY=""), timeout=30, check=False, cwd=self.cwd)
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None

    def reg_values(self, key):
        """{name: data} of the values directly under a key, or None when the key is absent.

        Read through 'wine reg export' (UTF-16 file), so non-ASCII data comes back exact;
        'reg query' output goes through the console code page. REG_SZ gives str, REG_DWORD
        int, other types the .reg text after the '='. The default value is named ''.
        """
        out = self.base / f"reg-{time.monotonic_ns()}.reg"
        r = _run([self.wine, "reg", "export", key, windows_path(out), "/y"], self.env(DISPLAY=""),
                 timeout=30, check=False, cwd=self.cwd)
        if r.returncode != 0 or not out.is_file():
            return None
        text = out.read_bytes().decode("utf-16")
        out.unlink()
        text = text.replace("\\\r\n  ", "")   # joined continuation lines of hex values
        values, inside = {}, False
        for line in text.splitlines():
            if line.startswith("["):
                inside = line.strip("[]").lower() == _expand_root(key).lower()
                continue
            if not inside or "=" not in line:
                continue
            m = re.match(r'^(?:"((?:[^"\\]|\\.)*)"|@)=(.*)$', line)
            if not m:
                continue
            name = _reg_unescape(m.group(1) or "")
            data = m.group(2)
            if data.startswith('"') and data.endswith('"'):
                values[name] = _reg_unescape(data[1:-1])
            elif data.startswith("dword:"):
                values[name] = int(data[6:], 16)
            else:
                values[name] = data
        return values

    def reg_value(self, key, value):
        """Data of one registry value (see reg_values), or None when absent."""
        vals = self.reg_values(key)
        if vals is None:
            return None
        for name, data in vals.items():
            if name.lower() == value.lower():
                return data
        return None

    def clipboard(self, target="UTF8_STRING"):
        """Text of the X clipboard selection (wine's clipboard owner answers it)."""
        r = self._x("xclip", "-o", "-selection", "clipboard", "-t", target, timeout=10, check=False)
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None

    def screenshot(self, path=None):
        path = Path(path) if path else self.base / f"screen-{time.monotonic_ns()}.png"
        self._x("import", "-window", "root", str(path), timeout=30)
        return path

    def keep_screenshot(self, name, folder=ARTIFACTS):
        """A screenshot, also kept as folder/name for people to look at; its path here."""
        shot = self.screenshot()
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy(shot, folder / name)
        return shot

    def pixel(self, x, y, shot=None):
        """(r, g, b) of a screen pixel (from a fresh screenshot unless one is given)."""
        shot = shot or self.screenshot()
        r = self._x("convert", str(shot), "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-")
        m = re.search(r"\((\d+),(\d+),(\d+)", r.stdout.decode())
        return tuple(int(v) for v in m.groups())

    def grab(self, shot=None):
        """A whole screenshot in memory: grab()(x, y) -> (r, g, b)."""
        shot = shot or self.screenshot()
        r = self._x("convert", str(shot), "-depth", "8", "rgb:-", timeout=30)
        size = self._x("identify", "-format", "%w %h", str(shot)).stdout.decode().split()
        width = int(size[0])
        data = r.stdout

        def at(x, y):
            i = (y * width + x) * 3
            return tuple(data[i:i + 3])
        return at

    def record(self, name="sound"):
        """Start recording what is played; call .stop() on the result."""
        rec = Recording(self.session, self.base / name)
        self._recordings.append(rec)
        return rec

    # --- the shell and the notification area --------------------------------------------

    def record_browser(self, log):
        """Make wine's browser launcher run a recorder that appends each address it is given to
        `log`, instead of a real browser. Call before start()."""
        script = self.base / "browser.sh"
        script.write_text(f'#!/bin/sh\nprintf "%s\\n" "$@" >> "{log}"\n')
        script.chmod(0o755)
        _run([self.wine, "reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/d", str(script), "/f"],
             self.env(DISPLAY=""), timeout=60)

    def tray_window(self):
        """wine's own notification area (shown when the display has none): Win, or None."""
        for w in self.probe():
            if w.kind == "top" and w.cls == "__winex11_standalone_tray":
                return w
        return None

    def tray_icon_point(self, timeout=10):
        """Screen point on our icon in wine's notification area, found by its blue disc."""
        deadline = time.monotonic() + timeout
        while True:
            t = self.tray_window()
            if t is not None and t.visible:
                x, y, w, h = t.rect
                screen = self.grab()
                blue = []
                for py in range(y, y + h):
                    for px in range(x, x + w):
                        cr, cg, cb = screen(px, py)
                        if cb > 150 and cr < 110 and cb - cr > 80:
                            blue.append((px, py))
                if len(blue) > 20:
                    return (sum(p[0] for p in blue) // len(blue), sum(p[1] for p in blue) // len(blue))
            if time.monotonic() > deadline:
                raise TimeoutError(f"no tray icon; tray window: {t}")
            time.sleep(0.2)

    def click_screen(self, x, y, button=1):
        self._x("xdotool", "mousemove", str(x), str(y), "click", str(button))

    def popup_menu(self, timeout=5):
        """The visible pop-up menu window of this process (Win), waiting for it."""
        deadline = time.monotonic() + timeout
        while True:
            for w in self.probe():
                if w.kind == "top" and w.cls == "#32768" and w.visible and w.pid == self.win_pid():
                    return w
            if time.monotonic() > deadline:
                raise TimeoutError("no pop-up menu")
            time.sleep(0.1)

    def win_pid(self):
        """The Windows process id of the exe (from its main window)."""
        for w in self.forms():
            return w.pid
        return None

    def keep_artifacts(self, label):
        """Copy a screenshot and wine's log to build/e2e-artifacts/."""
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        safe = re.sub(r"[^\w.-]+", "_", label)
        try:
            self.screenshot(ARTIFACTS / f"{safe}.png")
        except Exception:
            pass
        for src, suffix in ((self.log_path, "wine.log"),):
            if src.is_file():
                shutil.copy(src, ARTIFACTS / f"{safe}.{suffix}")
