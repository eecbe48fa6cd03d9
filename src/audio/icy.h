// Splits an ICY body into audio bytes and metadata blocks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace audio {

// Largest icy-metaint accepted; larger values make the stream fail to open.
constexpr uint32_t kMaxMetaint = 1024 * 1024;

// Parses an icy-metaint value. "0" gives 0 (no metadata); 1..kMaxMetaint are accepted;
// anything else (negative, too large, junk) is false and the stream fails to open.
bool ParseMetaint(const std::string& text, uint32_t& out);

class IcyDemux {
 public:
  explicit IcyDemux(uint32_t metaint = 0) : metaint_(metaint), audio_left_(metaint) {}

  // Appends the audio bytes of data to audio. Each completed metadata block that is not
  // empty (cut at its first NUL) replaces meta, so only the latest text is kept; returns
  // true when there was one. A block cut off by the end of the body is never completed.
  bool Feed(const uint8_t* data, size_t n, std::string& audio, std::string& meta);

  uint32_t Metaint() const { return metaint_; }

 private:
  enum class State { kAudio, kLength, kMeta };
  uint32_t metaint_;
  uint32_t audio_left_;
  State state_ = State::kAudio;
  size_t meta_left_ = 0;
  std::string meta_;
};

}  // namespace audio
