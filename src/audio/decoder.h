// MPEG audio decoding (libmpg123 feed mode) to the output format: interleaved stereo
// 16-bit at a fixed rate, with linear resampling and mono-to-stereo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct mpg123_handle_struct;

namespace audio {

// Linear-interpolating rate converter for interleaved stereo 16-bit frames.
class Resampler {
public:
    void reset(int in_rate, int out_rate);
    // Converts `frames` stereo frames and appends the result to out.
    void process(const int16_t *in, size_t frames, std::vector<int16_t> &out);

private:
    int in_rate_ = 0, out_rate_ = 0;
    double step_ = 1.0;
    double t_ = 0.0;  // position of the next output frame; -1 means the kept previous frame
    int16_t prev_[2] = {0, 0};
};

class Decoder {
public:
    explicit Decoder(int out_rate);
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    bool ok() const { return handle_ != nullptr; }
    void feed(const uint8_t *data, size_t n);
    enum class Result { Produced, NeedMore, Failed };
    // Decodes one frame and appends it, converted, to out.
    Result decode(std::vector<int16_t> &out);

    int in_rate() const { return in_rate_; }
    int in_channels() const { return in_channels_; }

private:
    mpg123_handle_struct *handle_ = nullptr;
    int out_rate_;
    int in_rate_ = 0, in_channels_ = 0;
    Resampler resampler_;
    std::vector<int16_t> stereo_;
};

}  // namespace audio
