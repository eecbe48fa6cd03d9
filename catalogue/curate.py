#!/usr/bin/env python3
"""Curates a station list of the community radio directory (JSON) into catalogue/stations.json.

Usage: catalogue/curate.py SOURCE.json [OUT.json]

Rules (README, "The shipped catalogue"):
- a stream listed twice (same address up to its query and fragment) or a station carried
  twice at different bitrates is kept once (see DROP and RENAME);
- HTML entities left in addresses are decoded;
- stations marked as English-only are kept: they are music channels of Russian broadcasters;
- sorted by votes, most first (stable);
- names are trimmed to what fits a tile (RENAME; otherwise " - " becomes a space).
"""
import html
import json
import re
import sys

# Names dropped, with the reason.
DROP = {
    "Radio Nostalgie (Kazakhstan)": "the stream of Радио Ностальжи Россия",
    "Радио Монте Карло - Bossa Nova": "the stream of Radio Monte Carlo - Bossa Nova",
    "Мелодии Века 96.2fm": "the stream of ДИСКОТЕКА 90-Х (Record's 90s channel)",
    "Вести FM (AAC)": "Вести FM again at 32 kbit/s",
    "Соловьёв FM": "Соловьев again at 32 kbit/s",
    "Спутник": "Радио Sputnik again at a lower bitrate",
}

# Shorter names: without frequencies, bitrates, codecs and second spellings; case fixed.
RENAME = {
    "Radio record - Main Channel": "Radio Record",
    "Радио Монте-Карло": "Монте-Карло Gold",
    "rockfm.ru heavy": "Rock FM Heavy",
    "Радио Монте Карло - Wonderful Blues": "Монте-Карло: Wonderful Blues",
    "Спутник ФМ - Уфимская Волна": "Спутник FM Уфа",
    "Radio Monte Carlo - Bossa Nova": "Монте-Карло: Bossa Nova",
    "101 ru enigmatic": "101.ru Enigmatic",
    "Радио Орфей (Radio Orpheus)": "Радио Орфей",
    "seva ru": "Seva.ru",
    "rockfm.ru progressive": "Rock FM Progressive",
    "Radiorecord.RU /techno": "Radio Record Techno",
    "rockfm.ru rock70": "Rock FM 70s",
    "Радио Монте Карло - Summertime": "Монте-Карло: Summertime",
    "Хит ФМ Сыктывкар 102.7 FM": "Хит FM Сыктывкар",
    "Радио JAZZ 89.1 256kbps": "Радио JAZZ",
    "Нестандарт (aac • 64)": "Нестандарт",
    "Радио Монте Карло - Nights": "Монте-Карло: Nights",
    "Радио Монте Карло - Funk Coctail": "Монте-Карло: Funk Cocktail",
    'Радио "Редкие Рыбы" - Rare Fishes radio': "Радио «Редкие Рыбы»",
    "Радио Эрмитаж Санкт-Петербург 90.1 FM": "Радио Эрмитаж",
    "Радио 7 Нижний Новгород 100.0 FM": "Радио 7 Нижний Новгород",
    "Radio Record BREAKS AAC": "Radio Record Breaks",
    "Питер FM (Piter FM)": "Питер FM",
    "Радио Sputnik (Россия) 256 кбит/с": "Радио Sputnik",
    "Sputnik News Belarussian": "Sputnik Беларусь",
    "Коммерсантъ FM 93.6": "Коммерсантъ FM",
    "ДИСКОТЕКА 90-Х": "Дискотека 90-х",
    "Радио 7 на семи холмах - Настроение счастья": "Радио 7: Настроение счастья",
    "Радио Монте Карло - Meditation": "Монте-Карло: Meditation",
    "Радио Монте Карло - Covers": "Монте-Карло: Covers",
    "ретро фм 96.4 FM": "Ретро FM 96.4",
    "record rock": "Record Rock",
    "Народное радио Минск 87.9 FM": "Народное радио Минск",
    "Русское радио Минск 98.9 FM": "Русское радио Минск",
    "Соловьев": "Соловьёв FM",
    "Душевное радио Минск 105.7 FM": "Душевное радио Минск",
    "Радио Брест 104.8 FM": "Радио Брест",
    "радио Минск 92.4": "Радио Минск 92.4",
    "Palmera Blanca radio - Daystream": "Palmera Blanca Daystream",
}


def curate(stations):
    out, seen = [], set()
    for s in stations:
        name = s["name"]
        if name in DROP:
            continue
        for key in ("url", "url_resolved", "homepage"):
            s[key] = html.unescape(s[key])
        stream = re.sub(r"[?#].*", "", s["url_resolved"])
        if stream in seen:
            raise SystemExit(f"curate: {name}: its stream is listed twice; add it to DROP")
        seen.add(stream)
        # "Radio Record - Russian Mix" reads as "Radio Record Russian Mix" on a tile
        s["name"] = RENAME.get(name, name.replace(" - ", " "))
        out.append(s)
    names = [s["name"].casefold() for s in out]
    if len(names) != len(set(names)):
        raise SystemExit("curate: a name is used twice")
    out.sort(key=lambda s: -int(s.get("votes", 0)))
    return out


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        stations = curate(json.load(f))
    text = json.dumps(stations, ensure_ascii=False, indent=1) + "\n"
    if len(sys.argv) == 3:
        with open(sys.argv[2], "w", encoding="utf-8") as f:
            f.write(text)
    else:
        sys.stdout.write(text)
    print(f"curate: {len(stations)} stations", file=sys.stderr)


if __name__ == "__main__":
    main()
