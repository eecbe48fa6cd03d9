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
      {"audio/mpeg", Format::Mpeg},    {"audio/mp3", Format::Mpeg},
      {"audio/mpeg3", Format::Mpeg},   {"audio/x-mpeg", Format::Mpeg},
      {"audio/x-mp3", Format::Mpeg},   {"audio/mpg", Format::Mpeg},
      {"audio/aac", Format::Aac},      {"audio/aacp", Format::Aac},
      {"audio/x-aac", Format::Aac},    {"audio/x-aacp", Format::Aac},
      {"audio/ogg", Format::Ogg},      {"application/ogg", Format::Ogg},
      {"audio/x-ogg", Format::Ogg},    {"application/x-ogg", Format::Ogg},
      {"audio/opus", Format::Ogg},     {"audio/vorbis", Format::Ogg},
      {"audio/x-vorbis", Format::Ogg}, {"audio/x-vorbis+ogg", Format::Ogg},
  };
  for (const auto& k : kTypes)
    if (t == k.type) return k.format;
  return Format::Unknown;
}

namespace {

bool SniffOne(Format f, const uint8_t* d, size_t n, Sniffed& out) {
  size_t offset = 0;
  int kbps = 0;
  switch (f) {
    case Format::Mpeg: {
      MpegFrame frame;
      if (!FindMpegSync(d, n, kChain, offset, frame)) return false;
      kbps = frame.bitrate_kbps;
      break;
    }
    case Format::Aac: {
      AdtsHeader h;
      if (!FindAdtsSync(d, n, kChain, offset, h, kbps)) return false;
      break;
    }
    case Format::Ogg:
      if (!FindOggPage(d, n, offset, kbps)) return false;
      break;
    case Format::Unknown: return false;
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
  for (Format f : {Format::Ogg, Format::Aac, Format::Mpeg}) {
    Sniffed s;
    if (f != expected && SniffOne(f, data, n, s) && (!found || s.offset < out.offset)) {
      out = s;
      found = true;
    }
  }
  return found;
}

}  // namespace audio
