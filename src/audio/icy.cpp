#include "audio/icy.h"

#include <cctype>

namespace audio {

bool ParseMetaint(const std::string& text, uint32_t& out) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  uint64_t v = 0;
  size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    if (v > kMaxMetaint) return false;
  }
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (digits == 0 || i != text.size()) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool IcyDemux::Feed(const uint8_t* data, size_t n, std::string& audio, std::string& meta) {
  if (metaint_ == 0) {
    audio.append(reinterpret_cast<const char*>(data), n);
    return false;
  }
  bool got = false;
  size_t i = 0;
  while (i < n) {
    switch (state_) {
      case State::kAudio: {
        size_t take = n - i < audio_left_ ? n - i : audio_left_;
        audio.append(reinterpret_cast<const char*>(data + i), take);
        i += take;
        audio_left_ -= static_cast<uint32_t>(take);
        if (audio_left_ == 0) state_ = State::kLength;
        break;
      }
      case State::kLength:
        meta_left_ = static_cast<size_t>(data[i++]) * 16;
        meta_.clear();
        if (meta_left_ == 0) {
          state_ = State::kAudio;
          audio_left_ = metaint_;
        } else {
          state_ = State::kMeta;
        }
        break;
      case State::kMeta: {
        size_t take = n - i < meta_left_ ? n - i : meta_left_;
        meta_.append(reinterpret_cast<const char*>(data + i), take);
        i += take;
        meta_left_ -= take;
        if (meta_left_ == 0) {
          size_t nul = meta_.find('\0');
          if (nul != std::string::npos) meta_.erase(nul);
          if (!meta_.empty()) {
            meta.swap(meta_);
            got = true;
          }
          meta_.clear();
          state_ = State::kAudio;
          audio_left_ = metaint_;
        }
        break;
      }
    }
  }
  return got;
}

}  // namespace audio
