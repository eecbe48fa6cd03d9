#include "audio/mpeg_header.h"

namespace audio {

bool ParseMpegHeader(const uint8_t* p, MpegFrame& f) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  int ver_bits = (p[1] >> 3) & 3;
  int layer_bits = (p[1] >> 1) & 3;
  int br_idx = (p[2] >> 4) & 15;
  int sr_idx = (p[2] >> 2) & 3;
  int padding = (p[2] >> 1) & 1;
  int mode = (p[3] >> 6) & 3;
  if (ver_bits == 1 || layer_bits == 0 || br_idx == 0 || br_idx == 15 || sr_idx == 3) return false;
  static const int kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const int kRates[3] = {44100, 48000, 32000};
  f.version = ver_bits == 3 ? 10 : ver_bits == 2 ? 20 : 25;
  f.layer = 4 - layer_bits;
  bool lsf = f.version != 10;
  f.bitrate_kbps = kBitrates[lsf ? 1 : 0][f.layer - 1][br_idx];
  f.sample_rate = kRates[sr_idx] / (f.version == 10 ? 1 : f.version == 20 ? 2 : 4);
  f.channels = mode == 3 ? 1 : 2;
  long br = f.bitrate_kbps * 1000L;
  if (f.layer == 1)
    f.length = static_cast<size_t>((12 * br / f.sample_rate + padding) * 4);
  else if (f.layer == 3 && lsf)
    f.length = static_cast<size_t>(72 * br / f.sample_rate + padding);
  else
    f.length = static_cast<size_t>(144 * br / f.sample_rate + padding);
  return f.length >= 4;
}

bool FindMpegSync(const uint8_t* data, size_t n, int chain, size_t& offset, MpegFrame& first) {
  for (size_t i = 0; i + 4 <= n; ++i) {
    MpegFrame f0;
    if (!ParseMpegHeader(data + i, f0)) continue;
    size_t pos = i + f0.length;
    int ok = 1;
    while (ok < chain && pos + 4 <= n) {
      MpegFrame f;
      if (!ParseMpegHeader(data + pos, f) || f.version != f0.version || f.layer != f0.layer ||
          f.sample_rate != f0.sample_rate)
        break;
      ++ok;
      pos += f.length;
    }
    if (ok >= chain) {
      offset = i;
      first = f0;
      return true;
    }
  }
  return false;
}

}  // namespace audio
