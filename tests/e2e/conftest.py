import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness  # noqa: E402

# Upper bound of one test, set-up and teardown of its players included.
TEST_TIMEOUT = int(os.environ.get("TIVOLNA_E2E_TEST_TIMEOUT", "120"))


@pytest.fixture(scope="session")
def e2e_session():
    if not harness.exe_path().is_file():
        pytest.fail(f"exe not built: {harness.exe_path()}", pytrace=False)
    # Artifacts are for the failures of this run only.
    shutil.rmtree(harness.ARTIFACTS, ignore_errors=True)
    t0 = time.monotonic()
    session = harness.Session().start()
    session.timings["session start"] = time.monotonic() - t0
    yield session
    session.close()
    _TIMINGS.update(session.timings)


@pytest.fixture(scope="session")
def e2e_session_win32():
    """The session of the 32-bit exe: Debian's i386 wine under qemu-i386."""
    exe = harness.exe_path("win32")
    if not exe.is_file():
        pytest.fail(f"exe not built: {exe}", pytrace=False)
    t0 = time.monotonic()
    session = harness.Session(arch="win32").start()
    session.timings["win32 session start"] = time.monotonic() - t0
    yield session
    session.close()
    _TIMINGS.update({k: v for k, v in session.timings.items() if k.startswith("win32")})
    if "template" in session.timings:
        _TIMINGS["win32 template"] = session.timings["template"]


_TIMINGS = {}
_TEST_TIMES = {}
_RUN_START = time.monotonic()


def pytest_runtest_logreport(report):
    _TEST_TIMES[report.nodeid] = _TEST_TIMES.get(report.nodeid, 0.0) + report.duration


def pytest_terminal_summary(terminalreporter):
    tr = terminalreporter
    if "template" in _TIMINGS:
        tr.write_line(f"e2e: template prefix built in {_TIMINGS['template']:.1f} s")
    if "session start" in _TIMINGS:
        tr.write_line(f"e2e: display, sound server and template ready in {_TIMINGS['session start']:.1f} s")
    if "win32 template" in _TIMINGS:
        tr.write_line(f"e2e: 32-bit template prefix built in {_TIMINGS['win32 template']:.1f} s")
    if "win32 session start" in _TIMINGS:
        tr.write_line(f"e2e: 32-bit session ready in {_TIMINGS['win32 session start']:.1f} s")
    for nodeid, d in _TEST_TIMES.items():
        tr.write_line(f"e2e: {d:5.1f} s {nodeid.split('::')[-1]}")
    tr.write_line(f"e2e: whole run {time.monotonic() - _RUN_START:.1f} s")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    setattr(item, "rep_" + rep.when, rep)


class _TestTimeout(Exception):
    pass


@pytest.fixture
def player(e2e_session, tmp_path, request):
    """Factory: player(stations=None, files=None, audio=True, env=None, start=True, exe=None,
    in_place=False, base=None) -> Player (the 64-bit exe; player32: the 32-bit one).

    stations: {name: bytes} for the Stations folder (default: the dist folder's own Stations);
    files: {relative name: bytes} written beside the exe (config.txt, favs.txt, ...);
    audio=False: wine offers no audio device;
    in_place=True: the exe runs where it is; players given the same base share a prefix.
    Every player is ended in teardown; on failure a screenshot and wine's log go
    to build/e2e-artifacts/.
    """
    yield from _players(e2e_session, tmp_path, request)


@pytest.fixture
def player32(e2e_session_win32, tmp_path, request):
    """The player factory of the 32-bit exe under the i386 wine (see player)."""
    yield from _players(e2e_session_win32, tmp_path, request)


def _players(session, tmp_path, request):
    players = []

    def on_alarm(signum, frame):
        raise _TestTimeout(f"test exceeded {TEST_TIMEOUT} s")

    old = signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(TEST_TIMEOUT)

    def make(stations=None, files=None, audio=True, env=None, start=True, exe=None, in_place=False,
             base=None):
        p = harness.Player(session, base or tmp_path / f"run{len(players)}", exe=exe,
                           stations=stations, files=files, audio=audio, env=env, in_place=in_place)
        players.append(p)
        return p.start() if start else p

    try:
        yield make
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, old)
        rep = getattr(request.node, "rep_call", None)
        failed = rep is None or rep.failed
        if failed and rep is not None:
            harness.ARTIFACTS.mkdir(parents=True, exist_ok=True)
            (harness.ARTIFACTS / f"{request.node.name}.failure.txt").write_text(rep.longreprtext)
        for i, p in enumerate(players):
            try:
                if failed:
                    p.keep_artifacts(f"{request.node.name}-{i}")
            finally:
                p.close()
                if p.prefix.exists():
                    shutil.rmtree(p.prefix, ignore_errors=True)


@pytest.fixture(scope="session")
def icy_server():
    """The loopback HTTP/ICY server of tools/, for the whole run: yields its base URL."""
    media = harness.REPO / "build" / "test-media"
    proc = subprocess.Popen(["/usr/bin/python3", str(harness.REPO / "tools" / "icy_server.py"),
                             "--port", "0", "--media", str(media), "--lifetime", "900"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        line = proc.stdout.readline().decode().split()
        assert len(line) == 2 and line[0] == "PORT", f"server said {line}"
        yield f"http://127.0.0.1:{line[1]}"
    finally:
        proc.kill()
        proc.wait(10)
