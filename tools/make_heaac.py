#!/usr/bin/env python3
"""Makes HE-AAC test material from AAC-LC in ADTS frames at 22050 Hz, as stations send it
(implicit signalling: the ADTS header keeps AAC-LC and the core rate).

    make_heaac.py IN.aac OUT.aac

A stereo core (CPE) gets a minimal SBR extension in every frame (HE-AAC v1); a mono core
(SCE) gets SBR with a parametric-stereo extension (HE-AAC v2). The SBR part is the smallest
valid one: one envelope per frame with near-zero energy in its eight bands, so the core's
sound is what plays, at twice the core rate.
"""

import sys


def bits_of(value, n):
    return format(value, "0%db" % n) if n else ""


# SBR header: start frequency index 5 and stop 14 (k2 = 2 k0) give, at 44.1 kHz, QMF bands
# 14..28; linear bands of two (freq_scale 0, alter_scale 1) make eight of them, and
# noise_bands 0 one noise band.
SBR_HEADER = ("1"            # bs_header_flag
              "0"            # bs_amp_res
              "0101"         # bs_start_freq
              "1110"         # bs_stop_freq
              "000"          # bs_xover_band
              "00"           # reserved
              "1" "0"        # bs_header_extra_1, bs_header_extra_2
              "00" "1" "00")  # bs_freq_scale, bs_alter_scale, bs_noise_bands
N_BANDS = 8
ZERO_DELTA = "00"  # the frequency-direction envelope code of a zero step (1.5 dB table)


GRID = "00" "00" "1"      # FIXFIX, one envelope, high frequency resolution
DTDF = "0" "0"            # envelope and noise coded over frequency
INVF = "00"               # inverse filtering of the single noise band: off
ENVELOPE = "0" * 7 + ZERO_DELTA * (N_BANDS - 1)  # start value 0, then zero steps
NOISE = "0" * 5           # noise floor start value


def sbr_payload(stereo, ps):
    if stereo:
        data = ("0"       # bs_data_extra
                "0"       # bs_coupling: the channels coded apart
                + GRID * 2 + DTDF * 2 + INVF * 2 + ENVELOPE * 2 + NOISE * 2
                + "0" "0")  # no added harmonics
    else:
        data = "0" + GRID + DTDF + INVF + ENVELOPE + NOISE + "0"
    if ps:
        # two bytes: extension id 2 (PS), a PS header with nothing enabled, one frame class
        # bit and no envelopes, then fill
        ext = "10" + "1" "0" "0" "0" + "0" + "00"
        data += "1" + bits_of(2, 4) + ext + "0" * (16 - len(ext))
    else:
        data += "0"   # no extended data
    return SBR_HEADER + data


def fill_element(payload_bits):
    bits = "1101" + payload_bits           # EXT_SBR_DATA
    bits += "0" * (-len(bits) % 8)
    count = len(bits) // 8
    assert count < 15
    return "110" + bits_of(count, 4) + bits  # ID_FIL


def convert(data):
    out = bytearray()
    i = 0
    while i + 7 <= len(data):
        h = bytearray(data[i:i + 7])
        if h[0] != 0xFF or (h[1] & 0xF6) != 0xF0 or not (h[1] & 1) or (h[6] & 3):
            raise SystemExit("make_heaac: not a plain ADTS frame at byte %d" % i)
        length = ((h[3] & 3) << 11) | (h[4] << 3) | (h[5] >> 5)
        raw = data[i + 7:i + length]
        bits = "".join(format(b, "08b") for b in raw).rstrip("0")
        if not bits.endswith("111"):
            raise SystemExit("make_heaac: no END element at byte %d" % i)
        body = bits[:-3]
        kind = body[:3]
        if kind not in ("000", "001"):
            raise SystemExit("make_heaac: the frame does not start with an SCE or CPE")
        stereo = kind == "001"
        new = body + fill_element(sbr_payload(stereo, ps=not stereo)) + "111"
        new += "0" * (-len(new) % 8)
        raw_new = int(new, 2).to_bytes(len(new) // 8, "big")
        n = 7 + len(raw_new)
        h[3] = (h[3] & 0xFC) | (n >> 11)
        h[4] = (n >> 3) & 0xFF
        h[5] = (h[5] & 0x1F) | ((n & 7) << 5)
        out += h + raw_new
        i += length
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        raise SystemExit(__doc__)
    with open(argv[1], "rb") as f:
        data = f.read()
    with open(argv[2], "wb") as f:
        f.write(convert(data))


if __name__ == "__main__":
    main(sys.argv)
