// Ogg pages (libogg) turned into the packets of Vorbis and Opus streams, one logical stream
// at a time, as chained streams send them; and the titles in their comment headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

enum class OggCodec { kNone, kVorbis, kOpus };

// The codec whose identification header starts the packet, if any.
OggCodec OggCodecOf(const uint8_t* packet, size_t n);

struct OggPacket {
  const uint8_t* data = nullptr;  // valid until the next call of the reader
  size_t size = 0;
  OggCodec codec = OggCodec::kNone;
  uint32_t index = 0;    // packet number in its logical stream; 0 is the identification header
  int64_t granule = -1;  // set on the last packet completed by a page
  bool eos = false;      // the last packet of its logical stream
};

// Takes stream bytes and gives the packets of the current logical stream. A new logical
// stream starts at a first page whose packet identifies Vorbis or Opus; pages of other
// streams, and of a stream joined without its first page, are skipped.
class OggReader {
 public:
  OggReader();
  ~OggReader();
  OggReader(const OggReader&) = delete;
  OggReader& operator=(const OggReader&) = delete;

  void Feed(const uint8_t* data, size_t n);
  // The next packet; false when more bytes are needed.
  bool Next(OggPacket& out);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// "ARTIST - TITLE" (or whichever of the two there is) from a Vorbis comment header
// ("\x03vorbis...") or an Opus tags header ("OpusTags..."); false when it names neither.
bool OggCommentTitle(const uint8_t* packet, size_t n, std::string& title);

// Watches stream bytes for the comment headers of new logical streams.
class OggTitleScanner {
 public:
  void Feed(const uint8_t* data, size_t n);
  // A title not yet taken, in the form the ICY metadata uses (StreamTitle='...';).
  bool Take(std::string& meta);

 private:
  OggReader reader_;
  std::string pending_;
};

// Finds the first complete Ogg page (checksum verified) in data; kbps is the nominal bitrate
// of a Vorbis stream starting there, else 0.
bool FindOggPage(const uint8_t* data, size_t n, size_t& offset, int& kbps);

}  // namespace audio
