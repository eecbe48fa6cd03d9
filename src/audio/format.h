// Which kind of audio a stream carries: from its Content-Type and from its first bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

enum class Format { kUnknown, kMpeg, kAac, kOgg };

// The format a Content-Type names (parameters and case ignored); Unknown for other types.
Format FormatFromType(const std::string& content_type);

struct Sniffed {
  Format format = Format::kUnknown;
  size_t offset = 0;     // where the first frame or page starts
  int bitrate_kbps = 0;  // 0 when the first bytes do not tell
};

// Recognises MPEG audio (a chain of frames), ADTS (a chain of frames) or Ogg (a page with
// a valid checksum) in data. The `expected` format wins when its data is there; otherwise
// whichever starts first.
bool SniffFormat(const uint8_t* data, size_t n, Format expected, Sniffed& out);

}  // namespace audio
