"""https under wine: a station behind TLS with the test root trusted in the test prefix plays
its tone and shows its title; one whose certificate comes from an unknown root ends in
"Нет сигнала"."""

import subprocess
import sys
import time
import urllib.parse

from harness import MAIN_TITLE, PROBE, REPO, WINE, cell_centre, config_txt, make_logo, windows_path

CERTS = REPO / "build" / "test-certs"
TRUSTCERT = PROBE.parent / "trustcert.exe"


def tls_front(backend_port, cert):
    proc = subprocess.Popen(
        [sys.executable, str(REPO / "tools" / "tls_front.py"), "--backend", str(backend_port),
         "--cert", str(CERTS / f"{cert}.pem"), "--key", str(CERTS / "localhost.key"), "--lifetime", "110"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = proc.stdout.readline().decode().split()
    assert line[:1] == ["PORT"], line
    return proc, int(line[1])


def test_https_station_plays_with_title_and_an_untrusted_one_has_no_signal(player, icy_server, tmp_path):
    subprocess.run(["bash", str(REPO / "tools" / "make_test_certs.sh"), str(CERTS)], check=True, timeout=120)
    backend = int(icy_server.rsplit(":", 1)[1])
    fronts = [tls_front(backend, "localhost"), tls_front(backend, "rogue")]
    try:
        title = "Защищённая волна"
        q = urllib.parse.quote_from_bytes(title.encode("cp1251"))
        files = {}
        for n, ((_, port), colour) in enumerate(zip(fronts, [(220, 40, 40), (40, 80, 220)]), start=1):
            url = (f"https://localhost:{port}/stream/tone880_128k_44100_s.mp3"
                   f"?burst=65536&status=icy&metaint=8000&titles={q}")
            files[f"play{n}.txt"] = f"{url}\r\n{title}\r\n".encode("cp1251")
            make_logo(tmp_path / f"{n}.png", ".png", colour)
            files[f"{n}.png"] = (tmp_path / f"{n}.png").read_bytes()
        p = player(stations=files, files={"config.txt": config_txt()}, start=False)
        r = subprocess.run([WINE, str(TRUSTCERT), windows_path(CERTS / "ca.der")], env=p.env(),
                           capture_output=True, timeout=90)
        assert r.returncode == 0, r.stderr.decode(errors="replace")
        p.start()
        w = p.wait_window(MAIN_TITLE)
        rec = p.record("https")
        p.click(w, *cell_centre(1))
        time.sleep(4)
        rec.stop()
        tone = rec.tone(880)
        assert tone, tone
        assert p.copy_status(w) == title

        p.click(w, *cell_centre(2))
        time.sleep(5)
        p.dismiss_boxes()
        assert p.copy_status(w) == "Нет сигнала"
        assert p.running()
    finally:
        for proc, _ in fronts:
            proc.kill()
            proc.wait(10)
