#!/usr/bin/env python3
"""Starts the 64-bit player under wine64 the way the end-to-end tests do, for a person to use.

With a display ($DISPLAY) the player runs there until it is closed. Without one it runs on a
private Xvfb, a screenshot is saved and its path printed, and the player is closed again.
Sound goes to the user's sound server when one answers, else to a private null sink. The
loopback demo server runs alongside. Settings and stations persist in build/run/player.
Only what this script started is ended. Exit code: the player's, or 1 when its window never
appeared.
"""

import os
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
import harness  # noqa: E402

WORK = REPO / "build" / "run"


def start_demo_server():
    media = REPO / "build" / "demo-media"
    proc = subprocess.Popen([sys.executable, str(REPO / "tools" / "icy_server.py"), "--port", "0",
                             "--media", str(media), "--lifetime", "86400"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = proc.stdout.readline().decode().split()
    if len(line) != 2 or line[0] != "PORT":
        proc.kill()
        raise RuntimeError(f"the demo server did not start (it said {line})")
    return proc, f"http://127.0.0.1:{line[1]}"


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    display = os.environ.get("DISPLAY") or None
    system_sound = subprocess.run(["pactl", "info"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0
    session = harness.Session(display=display, system_sound=system_sound).start()
    server = None
    player = None
    try:
        server, url = start_demo_server()
        print(f"demo server: {url}")
        player = harness.Player(session, WORK / "player", keep=True).start()
        try:
            player.wait_window(harness.MAIN_TITLE, timeout=60)
        except (AssertionError, TimeoutError) as e:
            print(f"run: the player's window did not appear: {e}", file=sys.stderr)
            log = player.log_path.read_bytes().decode("utf-8", "replace") if player.log_path.exists() else ""
            print(log[-3000:], file=sys.stderr)
            return 1
        if display:
            print("run: the player is running; close it to end")
            return player.wait_exit(timeout=None)
        time.sleep(2)
        shot = WORK / "screenshot.png"
        player.screenshot(shot)
        print(f"screenshot: {shot}")
        return 0
    finally:
        if player is not None:
            player.close()
        if server is not None:
            server.kill()
            server.wait(10)
        session.close()


if __name__ == "__main__":
    sys.exit(main())
