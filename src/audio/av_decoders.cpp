// AAC (ADTS) and Ogg Vorbis/Opus decoding through libavcodec.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "audio/adts.h"
#include "audio/decoder.h"
#include "audio/ogg.h"

namespace audio {

namespace {

std::once_flag g_quiet_once;

// One libavcodec decoder; gives its frames as interleaved 16-bit PCM of one or two channels
// (the first two of more).
class AvCodec {
 public:
  using Sink = std::function<void(const int16_t* pcm, size_t frames, int rate, int channels)>;

  AvCodec(AVCodecID id, const std::vector<uint8_t>& extradata, int sample_rate) {
    std::call_once(g_quiet_once,
                   [] { av_log_set_level(AV_LOG_QUIET); });  // damaged data is normal here
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return;
    ctx_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    pkt_ = av_packet_alloc();
    if (!ctx_ || !frame_ || !pkt_) return;
    if (!extradata.empty()) {
      ctx_->extradata =
          static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!ctx_->extradata) return;
      std::memcpy(ctx_->extradata, extradata.data(), extradata.size());
      ctx_->extradata_size = static_cast<int>(extradata.size());
    }
    if (sample_rate > 0) ctx_->sample_rate = sample_rate;
    // pre-skip and end trimming are done by the caller, which knows the stream
    ctx_->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    ctx_->thread_count = 1;
    open_ = avcodec_open2(ctx_, codec, nullptr) == 0;
  }
  ~AvCodec() {
    av_packet_free(&pkt_);
    av_frame_free(&frame_);
    avcodec_free_context(&ctx_);
  }
  AvCodec(const AvCodec&) = delete;
  AvCodec& operator=(const AvCodec&) = delete;

  bool Ok() const { return open_; }

  // Decodes one packet; a damaged one gives nothing.
  void Decode(const uint8_t* data, size_t n, const Sink& sink) {
    if (!open_ || n == 0 || n > (1u << 24)) return;
    av_packet_unref(pkt_);
    if (av_new_packet(pkt_, static_cast<int>(n)) < 0) return;
    std::memcpy(pkt_->data, data, n);
    if (avcodec_send_packet(ctx_, pkt_) < 0) {
      Drain(sink);  // the decoder may still hold frames
      return;
    }
    Drain(sink);
  }

 private:
  void Drain(const Sink& sink) {
    while (avcodec_receive_frame(ctx_, frame_) == 0) {
      Convert();
      int ch = std::min(frame_->ch_layout.nb_channels, 2);
      if (ch > 0 && frame_->nb_samples > 0)
        sink(pcm_.data(), static_cast<size_t>(frame_->nb_samples), frame_->sample_rate, ch);
      av_frame_unref(frame_);
    }
  }

  static int16_t FromFloat(float v) {
    if (!(v > -1.0f)) return -32768;  // NaN too
    if (v >= 1.0f) return 32767;
    return static_cast<int16_t>(std::lrint(v * 32767.0f));
  }

  void Convert() {
    const int total = frame_->ch_layout.nb_channels;
    const int ch = std::min(total, 2);
    const size_t n = frame_->nb_samples > 0 ? static_cast<size_t>(frame_->nb_samples) : 0;
    pcm_.resize(n * static_cast<size_t>(ch > 0 ? ch : 1));
    if (ch <= 0) return;
    const auto fmt = static_cast<AVSampleFormat>(frame_->format);
    for (int c = 0; c < ch; ++c) {
      for (size_t i = 0; i < n; ++i) {
        int16_t v = 0;
        switch (fmt) {
          case AV_SAMPLE_FMT_FLTP:
            v = FromFloat(reinterpret_cast<const float*>(frame_->extended_data[c])[i]);
            break;
          case AV_SAMPLE_FMT_FLT:
            v = FromFloat(reinterpret_cast<const float*>(frame_->data[0])[i * total + c]);
            break;
          case AV_SAMPLE_FMT_S16P:
            v = reinterpret_cast<const int16_t*>(frame_->extended_data[c])[i];
            break;
          case AV_SAMPLE_FMT_S16:
            v = reinterpret_cast<const int16_t*>(frame_->data[0])[i * total + c];
            break;
          default: break;  // not used by these decoders
        }
        pcm_[i * ch + c] = v;
      }
    }
  }

  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* pkt_ = nullptr;
  bool open_ = false;
  std::vector<int16_t> pcm_;
};

class AacDecoder : public Decoder {
 public:
  explicit AacDecoder(int out_rate) : Decoder(out_rate), codec_(AV_CODEC_ID_AAC, {}, 0) {}

  bool Ok() const override { return codec_.Ok(); }
  void Feed(const uint8_t* data, size_t n) override { framer_.Push(data, n); }

  Result DecodeSome(std::vector<int16_t>& out) override {
    if (!codec_.Ok()) return Result::kFailed;
    const size_t before = out.size();
    // the decoder reads the ADTS header itself, and follows changes of rate and channels
    while (framer_.Next(frame_)) {
      codec_.Decode(frame_.data(), frame_.size(),
                    [&](const int16_t* pcm, size_t frames, int rate, int ch) {
                      Emit(pcm, frames, rate, ch, out);
                    });
      if (out.size() > before) return Result::kProduced;
    }
    return Result::kNeedMore;
  }

 private:
  AdtsFramer framer_;
  AvCodec codec_;
  std::vector<uint8_t> frame_;
};

class OggDecoder : public Decoder {
 public:
  explicit OggDecoder(int out_rate) : Decoder(out_rate) {}

  bool Ok() const override { return true; }
  void Feed(const uint8_t* data, size_t n) override { reader_.Feed(data, n); }

  Result DecodeSome(std::vector<int16_t>& out) override {
    const size_t before = out.size();
    OggPacket pk;
    while (reader_.Next(pk)) {
      if (pk.index == 0) {
        // a new logical stream: the previous one's decoder ends here
        codec_.reset();
        headers_.clear();
        kind_ = pk.codec;
      }
      const size_t need = kind_ == OggCodec::kVorbis ? 3 : 2;
      if (pk.index < need) {
        headers_.emplace_back(pk.data, pk.data + pk.size);
        if (headers_.size() == need) Start();
        continue;
      }
      if (!codec_) continue;  // its headers were unusable
      codec_->Decode(pk.data, pk.size, [&](const int16_t* pcm, size_t frames, int rate, int ch) {
        size_t skip =
            static_cast<size_t>(std::min<int64_t>(skip_left_, static_cast<int64_t>(frames)));
        skip_left_ -= static_cast<int64_t>(skip);
        pcm += skip * static_cast<size_t>(ch);
        frames -= skip;
        if (pk.eos && pk.granule >= 0) {
          // the last page's position ends the stream, cutting the codec's padding
          int64_t limit = pk.granule - preskip_ - played_;
          if (limit < static_cast<int64_t>(frames))
            frames = limit > 0 ? static_cast<size_t>(limit) : 0;
        }
        played_ += static_cast<int64_t>(frames);
        Emit(pcm, frames, rate, ch, out);
      });
      if (out.size() > before) return Result::kProduced;
    }
    return Result::kNeedMore;
  }

 private:
  void Start() {
    preskip_ = 0;
    played_ = 0;
    const std::vector<uint8_t>& id = headers_[0];
    if (kind_ == OggCodec::kVorbis) {
      if (headers_[1].size() < 7 || headers_[1][0] != 3 || headers_[2].size() < 7 ||
          headers_[2][0] != 5)
        return;
      // the three headers, Xiph-laced
      std::vector<uint8_t> extra{2};
      for (int i = 0; i < 2; ++i) {
        size_t len = headers_[i].size();
        for (; len >= 255; len -= 255) extra.push_back(255);
        extra.push_back(static_cast<uint8_t>(len));
      }
      for (const auto& h : headers_) extra.insert(extra.end(), h.begin(), h.end());
      codec_ = std::make_unique<AvCodec>(AV_CODEC_ID_VORBIS, extra, 0);
    } else {
      if (id.size() < 19) return;
      preskip_ = id[10] | id[11] << 8;
      codec_ = std::make_unique<AvCodec>(AV_CODEC_ID_OPUS, id, 48000);
    }
    skip_left_ = preskip_;
    if (!codec_->Ok()) codec_.reset();
  }

  OggReader reader_;
  OggCodec kind_ = OggCodec::kNone;
  std::vector<std::vector<uint8_t>> headers_;
  std::unique_ptr<AvCodec> codec_;
  int64_t preskip_ = 0;  // Opus samples the encoder put before the audio
  int64_t skip_left_ = 0;
  int64_t played_ = 0;  // samples of this logical stream given out
};

}  // namespace

std::unique_ptr<Decoder> MakeAacDecoder(int out_rate) {
  return std::make_unique<AacDecoder>(out_rate);
}
std::unique_ptr<Decoder> MakeOggDecoder(int out_rate) {
  return std::make_unique<OggDecoder>(out_rate);
}

}  // namespace audio
