// Output without a device: discards the audio, paced in real time or unpaced.
#include <chrono>
#include <thread>

#include "audio/hooks.h"
#include "audio/output.h"

namespace audio {
namespace {

constexpr int kBlockMs = 20;

class NullSink : public Sink {
 public:
  bool Start(int rate) override {
    rate_ = rate;
    next_ = std::chrono::steady_clock::now();
    return true;
  }
  size_t WaitReady(int timeout_ms) override {
    size_t block = static_cast<size_t>(rate_) * kBlockMs / 1000;
    if (Unpaced()) return block;
    auto now = std::chrono::steady_clock::now();
    if (next_ < now - std::chrono::milliseconds(200))
      next_ = now;  // do not catch up after a hiccup
    if (next_ > now + std::chrono::milliseconds(timeout_ms)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
      return 0;
    }
    std::this_thread::sleep_until(next_);
    next_ += std::chrono::milliseconds(kBlockMs);
    return block;
  }
  void Write(const int16_t*, size_t) override {}
  void Stop() override {}
  bool Unpaced() const override { return HookState().fast_pacing.load(); }

 private:
  int rate_ = 44100;
  std::chrono::steady_clock::time_point next_;
};

}  // namespace

std::unique_ptr<Sink> MakeDefaultSink() { return std::make_unique<NullSink>(); }

}  // namespace audio
