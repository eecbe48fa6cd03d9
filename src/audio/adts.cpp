#include "audio/adts.h"

#include <cstring>

namespace audio {

namespace {
const int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                        22050, 16000, 12000, 11025, 8000,  7350};
}

bool ParseAdtsHeader(const uint8_t* p, AdtsHeader& h) {
  if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return false;  // sync, layer 0
  h.mpeg_id = (p[1] >> 3) & 1;
  h.has_crc = (p[1] & 1) == 0;
  h.profile = p[2] >> 6;
  h.rate_index = (p[2] >> 2) & 15;
  h.channel_config = ((p[2] & 1) << 2) | (p[3] >> 6);
  h.length = (static_cast<size_t>(p[3] & 3) << 11) | (static_cast<size_t>(p[4]) << 3) | (p[5] >> 5);
  if (h.rate_index >= 13 || h.profile == 3) return false;
  h.sample_rate = kRates[h.rate_index];
  size_t min = kAdtsHeaderBytes + (h.has_crc ? 2 : 0);
  return h.length > min;
}

bool SameAdtsStream(const AdtsHeader& a, const AdtsHeader& b) {
  return a.mpeg_id == b.mpeg_id && a.profile == b.profile && a.rate_index == b.rate_index &&
         a.channel_config == b.channel_config && a.has_crc == b.has_crc;
}

bool FindAdtsSync(const uint8_t* data, size_t n, int chain, size_t& offset, AdtsHeader& first,
                  int& kbps) {
  for (size_t i = 0; i + kAdtsHeaderBytes <= n; ++i) {
    AdtsHeader h0;
    if (!ParseAdtsHeader(data + i, h0)) continue;
    size_t pos = i + h0.length;
    int ok = 1;
    while (ok < chain && pos + kAdtsHeaderBytes <= n) {
      AdtsHeader h;
      if (!ParseAdtsHeader(data + pos, h) || !SameAdtsStream(h, h0)) break;
      ++ok;
      pos += h.length;
    }
    if (ok >= chain) {
      offset = i;
      first = h0;
      // each frame holds 1024 samples at the header's rate
      uint64_t bits = static_cast<uint64_t>(pos - i) * 8 * static_cast<uint64_t>(h0.sample_rate);
      kbps = static_cast<int>(bits / (1024ull * static_cast<unsigned>(chain) * 1000));
      return true;
    }
  }
  return false;
}

void AdtsFramer::Push(const uint8_t* data, size_t n) {
  if (pos_ > 0 && pos_ * 2 >= buf_.size()) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
  }
  buf_.insert(buf_.end(), data, data + n);
}

bool AdtsFramer::Next(std::vector<uint8_t>& frame) {
  for (;;) {
    size_t left = buf_.size() - pos_;
    if (left < kAdtsHeaderBytes) return false;
    const uint8_t* p = buf_.data() + pos_;
    AdtsHeader h;
    if (!ParseAdtsHeader(p, h)) {
      const void* ff = std::memchr(p + 1, 0xFF, left - 1);
      size_t step = ff ? static_cast<size_t>(static_cast<const uint8_t*>(ff) - p) : left;
      pos_ += step;
      skipped_ += step;
      continue;
    }
    if (left < h.length + kAdtsHeaderBytes) return false;  // wait for the next header
    AdtsHeader after;
    if (ParseAdtsHeader(p + h.length, after) && SameAdtsStream(h, after)) {
      frame.assign(p, p + h.length);
      pos_ += h.length;
      return true;
    }
    ++pos_;
    ++skipped_;
  }
}

}  // namespace audio
