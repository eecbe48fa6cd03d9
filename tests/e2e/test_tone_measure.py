"""The harness's tone check on its own: synthetic recordings with the faults a busy machine or
a wrong decoder produce, and the test material decoded by ffmpeg. No wine involved."""

import array
import math
import re
import subprocess

import pytest

from harness import REPO, TEST_TONES, measure_tone, dominant_frequency, steady_windows

RATE = 44100
MEDIA = REPO / "build" / "test-media"


def sine(freq, seconds, amp=8000):
    return array.array("h", [int(amp * math.sin(2 * math.pi * freq * i / RATE)) for i in range(int(seconds * RATE))])


def silence(seconds):
    return array.array("h", [0] * int(seconds * RATE))


def with_gaps(s):
    # an output that ran dry twice (0.18 s and 0.07 s), and a quiet start
    return silence(0.3) + s[:RATE] + silence(0.18) + s[RATE:2 * RATE] + silence(0.07) + s[2 * RATE:]


def mixed(a, b):
    return array.array("h", [x // 2 + y // 2 for x, y in zip(a, b)])


CASES = [  # (name, samples, expected Hz, passes)
    ("pure tone", sine(880, 3), 880, True),
    ("tone with gaps and a late start", with_gaps(sine(880, 3)), 880, True),
    ("3 Hz off", sine(883, 3), 880, True),
    ("4 % low (a wrong rate)", sine(845, 3), 880, False),
    ("the neighbour test tone", sine(990, 3), 1000, False),
    ("another station", sine(440, 3), 880, False),
    ("two stations at once", mixed(sine(440, 3), sine(880, 3)), 880, False),
    ("silence", silence(2), 880, False),
    ("a blip too short to judge", silence(1) + sine(880, 0.15) + silence(1), 880, False),
]


@pytest.mark.parametrize("name, samples, expected, passes", CASES, ids=[c[0] for c in CASES])
def test_tone_check(name, samples, expected, passes):
    tone = measure_tone(samples, expected)
    assert bool(tone) == passes, tone


def test_dominant_frequency_ignores_gaps():
    # zero crossings over the whole audible span would give about 830 Hz here
    assert abs(dominant_frequency(steady_windows(with_gaps(sine(880, 3)))) - 880) < 0.5
    assert abs(dominant_frequency(steady_windows(sine(845, 3))) - 845) < 0.5


def decoded(path):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-t", "3", "-f", "s16le", "-ac", "2",
                          "-ar", str(RATE), "-"], capture_output=True, check=True, timeout=60).stdout
    s = array.array("h", raw[: len(raw) // 4 * 4])
    return s[0::2]


def test_the_test_material_passes_for_its_own_tone_only():
    if not MEDIA.is_dir():
        subprocess.run(["bash", str(REPO / "tools" / "make_media.sh"), str(MEDIA)], check=True, timeout=300)
    files = [p for p in sorted(MEDIA.iterdir()) if re.match(r"(he\d_)?tone\d+_", p.name)]
    assert files
    for p in files:
        freq = int(re.search(r"tone(\d+)", p.name).group(1))
        s = decoded(p)
        own = measure_tone(s, freq)
        assert own and own.share > 0.9, f"{p.name}: {own}"
        neighbour = min((f for f in TEST_TONES if f != freq), key=lambda f: abs(f - freq))
        assert not measure_tone(s, neighbour), p.name
