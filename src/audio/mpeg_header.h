// MPEG audio frame header parsing, used to recognise MPEG data before decoding.
#pragma once
#include <cstddef>
#include <cstdint>

namespace audio {

struct MpegFrame {
  int version = 0;  // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
  int layer = 0;    // 1..3
  int bitrate_kbps = 0;
  int sample_rate = 0;
  int channels = 0;
  size_t length = 0;  // bytes including the header
};

// Parses four header bytes; false for anything that is not a usable frame header
// (free-format bitrate included).
bool ParseMpegHeader(const uint8_t* p, MpegFrame& out);

// Finds the first offset where `chain` frames of the same version, layer and rate follow
// each other exactly. Returns false if none fits in the data.
bool FindMpegSync(const uint8_t* data, size_t n, int chain, size_t& offset, MpegFrame& first);

}  // namespace audio
