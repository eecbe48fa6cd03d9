#include "audio/format.h"

#include <cctype>

#include "audio/adts.h"
#include "audio/mpeg_header.h"
#include "audio/ogg.h"

namespace audio {

namespace {
constexpr int kChain = 4;  // consecutive frames that prove MPEG audio or ADTS
}

Format FormatFromType(const std::string& content_type) {
  std::string t;
  for (char c : content_type) {
    if (c == ';') break;
    if (!std::isspace(static_cast<unsigned char>(c)))
      t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  static const struct {
    const char* type;
    Format format;
  } kTypes[] = {
      {"audio/mpeg", Format::kMpeg},    {"audio/mp3", Format::kMpeg},
      {"audio/mpeg3", Format::kMpeg},   {"audio/x-mpeg", Format::kMpeg},
      {"audio/x-mp3", Format::kMpeg},   {"audio/mpg", Format::kMpeg},
      {"audio/aac", Format::kAac},      {"audio/aacp", Format::kAac},
      {"audio/x-aac", Format::kAac},    {"audio/x-aacp", Format::kAac},
      {"audio/ogg", Format::kOgg},      {"application/ogg", Format::kOgg},
      {"audio/x-ogg", Format::kOgg},    {"application/x-ogg", Format::kOgg},
      {"audio/opus", Format::kOgg},     {"audio/vorbis", Format::kOgg},
      {"audio/x-vorbis", Format::kOgg}, {"audio/x-vorbis+ogg", Format::kOgg},
  };
  for (const auto& k : kTypes)
    if (t == k.type) return k.format;
  return Format::kUnknown;
}

namespace {

bool SniffOne(Format f, const uint8_t* d, size_t n, Sniffed& out) {
  size_t offset = 0;
  int kbps = 0;
  switch (f) {
    case Format::kMpeg: {
      MpegFrame frame;
      if (!FindMpegSync(d, n, kChain, offset, frame)) return false;
      kbps = frame.bitrate_kbps;
      break;
    }
    case Format::kAac: {
      AdtsHeader h;
      if (!FindAdtsSync(d, n, kChain, offset, h, kbps)) return false;
      break;
    }
    case Format::kOgg:
      if (!FindOggPage(d, n, offset, kbps)) return false;
      break;
    case Format::kUnknown: return false;
  }
  out.format = f;
  out.offset = offset;
  out.bitrate_kbps = kbps;
  return true;
}

}  // namespace

bool SniffFormat(const uint8_t* data, size_t n, Format expected, Sniffed& out) {
  if (SniffOne(expected, data, n, out)) return true;
  bool found = false;
  for (Format f : {Format::kOgg, Format::kAac, Format::kMpeg}) {
    Sniffed s;
    if (f != expected && SniffOne(f, data, n, s) && (!found || s.offset < out.offset)) {
      out = s;
      found = true;
    }
  }
  return found;
}

}  // namespace audio
