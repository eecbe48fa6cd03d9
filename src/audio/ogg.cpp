#include "audio/ogg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <ogg/ogg.h>

namespace audio {

namespace {

// A packet spread over more pages than this is dropped with its stream.
constexpr long kMaxPendingBody = 1 << 20;
constexpr size_t kMaxTitleBytes = 1024;

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool StartsWith(const uint8_t* p, size_t n, const char* tag, size_t len) {
  return n >= len && std::memcmp(p, tag, len) == 0;
}

}  // namespace

OggCodec OggCodecOf(const uint8_t* p, size_t n) {
  if (StartsWith(p, n, "\x01vorbis", 7) && n >= 30) return OggCodec::kVorbis;
  if (StartsWith(p, n, "OpusHead", 8) && n >= 19) return OggCodec::kOpus;
  return OggCodec::kNone;
}

struct OggReader::State {
  ogg_sync_state sync;
  ogg_stream_state stream;
  bool have_stream = false;
  OggCodec codec = OggCodec::kNone;
  uint32_t index = 0;
};

OggReader::OggReader() : s_(new State) {
  ogg_sync_init(&s_->sync);
  ogg_stream_init(&s_->stream, 0);
}

OggReader::~OggReader() {
  ogg_stream_clear(&s_->stream);
  ogg_sync_clear(&s_->sync);
}

void OggReader::Feed(const uint8_t* data, size_t n) {
  while (n > 0) {
    size_t part = n < 65536 ? n : 65536;
    char* buf = ogg_sync_buffer(&s_->sync, static_cast<long>(part));
    if (!buf) return;
    std::memcpy(buf, data, part);
    ogg_sync_wrote(&s_->sync, static_cast<long>(part));
    data += part;
    n -= part;
  }
}

bool OggReader::Next(OggPacket& out) {
  State& s = *s_;
  for (;;) {
    if (s.have_stream) {
      ogg_packet op;
      int r = ogg_stream_packetout(&s.stream, &op);
      if (r == 1) {
        // the first page only showed how the first packet starts
        if (s.index == 0 && OggCodecOf(op.packet, static_cast<size_t>(op.bytes)) != s.codec) {
          s.have_stream = false;
          continue;
        }
        out.data = op.packet;
        out.size = static_cast<size_t>(op.bytes);
        out.codec = s.codec;
        out.index = s.index++;
        out.granule = op.granulepos;
        out.eos = op.e_o_s != 0;
        return true;
      }
      if (r < 0) continue;  // a gap in the page sequence: the lost packet is skipped
    }
    ogg_page pg;
    int r = ogg_sync_pageout(&s.sync, &pg);
    if (r == 0) return false;
    if (r < 0) continue;  // bytes skipped to the next page
    int serial = ogg_page_serialno(&pg);
    if (ogg_page_bos(&pg)) {
      OggCodec c = OggCodecOf(pg.body, static_cast<size_t>(pg.body_len));
      if (c == OggCodec::kNone) continue;  // a stream we do not play
      ogg_stream_reset_serialno(&s.stream, serial);
      s.have_stream = true;
      s.codec = c;
      s.index = 0;
    } else if (!s.have_stream || serial != s.stream.serialno) {
      continue;
    }
    ogg_stream_pagein(&s.stream, &pg);
    if (s.stream.body_fill - s.stream.body_returned > kMaxPendingBody) {
      s.have_stream = false;  // an endless packet: wait for the next stream
      ogg_stream_reset(&s.stream);
    }
  }
}

bool OggCommentTitle(const uint8_t* p, size_t n, std::string& title) {
  size_t at;
  if (StartsWith(p, n, "\x03vorbis", 7))
    at = 7;
  else if (StartsWith(p, n, "OpusTags", 8))
    at = 8;
  else
    return false;
  auto field = [&](const uint8_t*& text, size_t& len) {
    if (n - at < 4) return false;
    uint32_t l = Le32(p + at);
    at += 4;
    if (l > n - at) return false;
    text = p + at;
    len = l;
    at += l;
    return true;
  };
  const uint8_t* text;
  size_t len;
  if (!field(text, len)) return false;  // vendor
  if (n - at < 4) return false;
  uint32_t count = Le32(p + at);
  at += 4;
  std::string artist, name;
  for (uint32_t i = 0; i < count; ++i) {
    if (!field(text, len)) break;
    const char* t = reinterpret_cast<const char*>(text);
    auto value = [&](const char* key, size_t klen, std::string& dst) {
      if (len <= klen || t[klen] != '=') return;
      for (size_t k = 0; k < klen; ++k)
        if ((t[k] & ~0x20) != key[k]) return;
      dst.assign(t + klen + 1, std::min(len - klen - 1, kMaxTitleBytes));
    };
    value("TITLE", 5, name);
    value("ARTIST", 6, artist);
  }
  if (artist.empty() && name.empty()) return false;
  title = artist.empty() ? name : name.empty() ? artist : artist + " - " + name;
  return true;
}

void OggTitleScanner::Feed(const uint8_t* data, size_t n) {
  reader_.Feed(data, n);
  OggPacket pk;
  while (reader_.Next(pk)) {
    std::string t;
    if (pk.index == 1 && OggCommentTitle(pk.data, pk.size, t))
      pending_ = "StreamTitle='" + t + "';";
  }
}

bool OggTitleScanner::Take(std::string& meta) {
  if (pending_.empty()) return false;
  meta.swap(pending_);
  pending_.clear();
  return true;
}

bool FindOggPage(const uint8_t* data, size_t n, size_t& offset, int& kbps) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  bool found = false;
  size_t skipped = 0;
  char* buf = ogg_sync_buffer(&sync, static_cast<long>(n));
  if (buf && n > 0) {
    std::memcpy(buf, data, n);
    ogg_sync_wrote(&sync, static_cast<long>(n));
    ogg_page pg;
    for (;;) {
      long r = ogg_sync_pageseek(&sync, &pg);
      if (r == 0) break;
      if (r < 0) {
        skipped += static_cast<size_t>(-r);
        continue;
      }
      found = true;
      offset = skipped;
      kbps = 0;
      const uint8_t* b = pg.body;
      if (ogg_page_bos(&pg) &&
          OggCodecOf(b, static_cast<size_t>(pg.body_len)) == OggCodec::kVorbis) {
        int32_t nominal = static_cast<int32_t>(Le32(b + 20));
        if (nominal > 0) kbps = nominal / 1000;
      }
      break;
    }
  }
  ogg_sync_clear(&sync);
  return found;
}

}  // namespace audio
