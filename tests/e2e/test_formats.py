"""AAC, HE-AAC v2 and Ogg stations in the exe under wine: a press on each tile plays its tone, recorded
from the null sink, and its title (ICY metadata for AAC, the Ogg comments for Vorbis and
Opus) reaches the status label."""

import time
import urllib.parse

from harness import MAIN_TITLE, cell_centre, config_txt, make_logo

# Station number -> (file, ICY title or None, tone in Hz, title shown)
STATIONS = {
    1: ("tone1000_96k_44100_s.aac", "Волна AAC", 1000, "Волна AAC"),
    2: ("tone550_96k_44100_s.ogg", None, 550, "Тиволна - Ворбис 550"),
    3: ("tone1320_64k_48000_s.opus", None, 1320, "Тиволна - Опус 1320"),
    4: ("he2_tone825_44100_s.aac", "HE-AAC v2", 825, "HE-AAC v2"),
}


def test_aac_he_aac_vorbis_and_opus_stations_play_with_their_titles(player, icy_server, tmp_path):
    files = {}
    for n, (name, icy_title, _, _) in STATIONS.items():
        url = f"{icy_server}/stream/{name}?burst=65536&metaint=8000"
        if icy_title:
            url += "&titles=" + urllib.parse.quote_from_bytes(icy_title.encode("cp1251"))
        files[f"play{n}.txt"] = f"{url}\r\nStation {n}\r\n".encode("cp1251")
        logo = tmp_path / f"{n}.png"
        make_logo(logo, ".png", (40 * n, 90, 160))
        files[f"{n}.png"] = logo.read_bytes()
    p = player(stations=files, files={"config.txt": config_txt()})
    w = p.wait_window(MAIN_TITLE)
    for n, (name, _, tone, shown) in STATIONS.items():
        p.click(w, *cell_centre(n))
        time.sleep(1.5)   # the recording holds this station only, not the end of the last one
        rec = p.record(f"station{n}")
        time.sleep(3.5)
        rec.stop()
        heard = rec.tone(tone)
        assert heard, f"{name}: {heard}"
        assert rec.rms() > 0.05, name
        assert p.copy_status(w) == shown, name
