// Stream decoding to the output format: interleaved stereo 16-bit at a fixed rate. One
// interface, fed with stream bytes as they arrive; MPEG audio (libmpg123), AAC in ADTS
// frames and Ogg Vorbis/Opus (libavcodec) implement it and share the mono-to-stereo step
// and the resampler.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/format.h"

namespace audio {

// Linear-interpolating rate converter for interleaved stereo 16-bit frames.
class Resampler {
 public:
  void Reset(int in_rate, int out_rate);
  // Converts `frames` stereo frames and appends the result to out.
  void Process(const int16_t* in, size_t frames, std::vector<int16_t>& out);

 private:
  int in_rate_ = 0, out_rate_ = 0;
  double step_ = 1.0;
  double t_ = 0.0;  // position of the next output frame; -1 means the kept previous frame
  int16_t prev_[2] = {0, 0};
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  virtual bool Ok() const = 0;
  virtual void Feed(const uint8_t* data, size_t n) = 0;
  enum class Result { kProduced, kNeedMore, kFailed };
  // Decodes what the fed bytes allow, at least one frame's worth when Produced, and
  // appends it, converted, to out: never more than kMaxDecodeFrames frames. Audio at a
  // rate outside kMinRate..kMaxRate, or more than that, fails the stream for good.
  Result Decode(std::vector<int16_t>& out);

  static constexpr int kMinRate = 8000;
  static constexpr int kMaxRate = 192000;
  static constexpr size_t kMaxDecodeFrames = 1 << 17;

  // Rate and channels of the audio last decoded.
  int InRate() const { return in_rate_; }
  int InChannels() const { return in_channels_; }

 protected:
  explicit Decoder(int out_rate) : out_rate_(out_rate) {}
  // The decoding step behind Decode().
  virtual Result DecodeSome(std::vector<int16_t>& out) = 0;
  // Interleaved 16-bit PCM of `channels` (1 or 2) at `rate` into the output format.
  void Emit(const int16_t* pcm, size_t frames, int rate, int channels, std::vector<int16_t>& out);

 private:
  int out_rate_;
  size_t out_start_ = 0;  // out's size when Decode() began
  bool failed_ = false;
  int in_rate_ = 0, in_channels_ = 0;
  Resampler resampler_;
  std::vector<int16_t> stereo_;
};

// A decoder for the format (Unknown gives MPEG).
std::unique_ptr<Decoder> MakeDecoder(Format format, int out_rate);
std::unique_ptr<Decoder> MakeMpegDecoder(int out_rate);
std::unique_ptr<Decoder> MakeAacDecoder(int out_rate);
std::unique_ptr<Decoder> MakeOggDecoder(int out_rate);

}  // namespace audio
