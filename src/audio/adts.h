// ADTS (AAC in audio data transport stream frames): header parsing and a framer that only
// passes frames confirmed by the header that follows them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

struct AdtsHeader {
  int mpeg_id = 0;  // 0 = MPEG-4, 1 = MPEG-2
  int profile = 0;  // audio object type - 1
  int rate_index = 0;
  int channel_config = 0;
  bool has_crc = false;
  int sample_rate = 0;
  size_t length = 0;  // whole frame, header included
};

constexpr size_t kAdtsHeaderBytes = 7;

// Parses the seven header bytes at p; false for anything that is not a usable header.
bool ParseAdtsHeader(const uint8_t* p, AdtsHeader& out);
// The fields that stay the same for the frames of one stream.
bool SameAdtsStream(const AdtsHeader& a, const AdtsHeader& b);

// Finds the first offset where `chain` frames of one stream follow each other exactly;
// kbps is their average bitrate.
bool FindAdtsSync(const uint8_t* data, size_t n, int chain, size_t& offset, AdtsHeader& first,
                  int& kbps);

// Cuts a byte stream into ADTS frames. A frame is passed on only when the next header
// follows it with the same fixed fields; anything else is skipped a byte at a time.
class AdtsFramer {
 public:
  void Push(const uint8_t* data, size_t n);
  // The next confirmed frame (header included); false when more bytes are needed.
  bool Next(std::vector<uint8_t>& frame);
  // Bytes skipped as not belonging to a confirmed frame.
  uint64_t Skipped() const { return skipped_; }

 private:
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace audio
