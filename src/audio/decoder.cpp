#include "audio/decoder.h"

#include <cmath>
#include <mutex>

#include <mpg123.h>

namespace audio {

void Resampler::Reset(int in_rate, int out_rate) {
  in_rate_ = in_rate;
  out_rate_ = out_rate;
  step_ = static_cast<double>(in_rate) / out_rate;
  t_ = 0.0;
  prev_[0] = prev_[1] = 0;
}

void Resampler::Process(const int16_t* in, size_t frames, std::vector<int16_t>& out) {
  if (frames == 0) return;
  if (in_rate_ == out_rate_) {
    out.insert(out.end(), in, in + frames * 2);
    return;
  }
  const double last = static_cast<double>(frames) - 1.0;
  while (t_ < last) {
    double fl = std::floor(t_);
    long i = static_cast<long>(fl);
    double frac = t_ - fl;
    for (int c = 0; c < 2; ++c) {
      double a = i < 0 ? prev_[c] : in[i * 2 + c];
      double b = in[(i + 1) * 2 + c];
      out.push_back(static_cast<int16_t>(std::lrint(a + (b - a) * frac)));
    }
    t_ += step_;
  }
  t_ -= static_cast<double>(frames);
  prev_[0] = in[(frames - 1) * 2];
  prev_[1] = in[(frames - 1) * 2 + 1];
}

Decoder::Result Decoder::Decode(std::vector<int16_t>& out) {
  if (failed_) return Result::kFailed;
  out_start_ = out.size();
  Result r = DecodeSome(out);
  if (failed_) {
    out.resize(out_start_);
    return Result::kFailed;
  }
  return r;
}

void Decoder::Emit(const int16_t* pcm, size_t frames, int rate, int channels,
                   std::vector<int16_t>& out) {
  if (failed_ || frames == 0 || channels < 1 || channels > 2) return;
  // A declared rate of 1 Hz would make tens of thousands of frames of each one.
  if (rate < kMinRate || rate > kMaxRate) {
    failed_ = true;
    return;
  }
  const uint64_t made = (out.size() - out_start_) / 2;
  const uint64_t coming = static_cast<uint64_t>(frames) * static_cast<uint64_t>(out_rate_) /
                              static_cast<uint64_t>(rate) +
                          2;
  if (made + coming > kMaxDecodeFrames) {
    failed_ = true;
    return;
  }
  if (rate != in_rate_) resampler_.Reset(rate, out_rate_);
  in_rate_ = rate;
  in_channels_ = channels;
  if (channels == 1) {
    stereo_.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) stereo_[2 * i] = stereo_[2 * i + 1] = pcm[i];
    pcm = stereo_.data();
  }
  resampler_.Process(pcm, frames, out);
}

namespace {

std::once_flag g_mpg123_once;
bool g_mpg123_ready = false;

// MPEG audio through libmpg123's feed mode.
class MpegDecoder : public Decoder {
 public:
  explicit MpegDecoder(int out_rate) : Decoder(out_rate) {
    std::call_once(g_mpg123_once, [] {
#if MPG123_API_VERSION < 46
      g_mpg123_ready = mpg123_init() == MPG123_OK;
#else
            g_mpg123_ready = true;
#endif
    });
    if (!g_mpg123_ready) return;
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
      mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(h) != MPG123_OK) {
      mpg123_delete(h);
      return;
    }
    handle_ = h;
  }
  ~MpegDecoder() override {
    if (handle_) mpg123_delete(handle_);
  }

  bool Ok() const override { return handle_ != nullptr; }
  void Feed(const uint8_t* data, size_t n) override {
    if (handle_ && n > 0) mpg123_feed(handle_, data, n);
  }

  Result DecodeSome(std::vector<int16_t>& out) override {
    if (!handle_) return Result::kFailed;
    for (int guard = 0; guard < 16; ++guard) {
      off_t num = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      int r = mpg123_decode_frame(handle_, &num, &audio, &bytes);
      if (r == MPG123_NEW_FORMAT) {
        long rate = 0;
        int ch = 0, enc = 0;
        mpg123_getformat(handle_, &rate, &ch, &enc);
        rate_ = static_cast<int>(rate);
        channels_ = ch;
        continue;
      }
      if (r == MPG123_NEED_MORE) return Result::kNeedMore;
      if (r != MPG123_OK) {
        // a damaged frame: mpg123 resynchronises on the next call
        if (r == MPG123_ERR && mpg123_errcode(handle_) == MPG123_BAD_HANDLE) return Result::kFailed;
        continue;
      }
      if (bytes == 0 || rate_ <= 0 || channels_ <= 0) continue;
      size_t frames = bytes / (sizeof(int16_t) * static_cast<size_t>(channels_));
      Emit(reinterpret_cast<const int16_t*>(audio), frames, rate_, channels_, out);
      return Result::kProduced;
    }
    return Result::kNeedMore;
  }

 private:
  mpg123_handle* handle_ = nullptr;
  int rate_ = 0, channels_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> MakeMpegDecoder(int out_rate) {
  return std::make_unique<MpegDecoder>(out_rate);
}

std::unique_ptr<Decoder> MakeDecoder(Format format, int out_rate) {
  switch (format) {
    case Format::kAac: return MakeAacDecoder(out_rate);
    case Format::kOgg: return MakeOggDecoder(out_rate);
    case Format::kMpeg:
    case Format::kUnknown: break;
  }
  return MakeMpegDecoder(out_rate);
}

}  // namespace audio
