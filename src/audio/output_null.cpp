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
    bool start(int rate) override {
        rate_ = rate;
        next_ = std::chrono::steady_clock::now();
        return true;
    }
    size_t wait_ready(int timeout_ms) override {
        size_t block = static_cast<size_t>(rate_) * kBlockMs / 1000;
        if (unpaced()) return block;
        auto now = std::chrono::steady_clock::now();
        if (next_ < now - std::chrono::milliseconds(200)) next_ = now;  // do not catch up after a hiccup
        if (next_ > now + std::chrono::milliseconds(timeout_ms)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
            return 0;
        }
        std::this_thread::sleep_until(next_);
        next_ += std::chrono::milliseconds(kBlockMs);
        return block;
    }
    void write(const int16_t *, size_t) override {}
    void stop() override {}
    bool unpaced() const override { return hooks().fast_pacing.load(); }

private:
    int rate_ = 44100;
    std::chrono::steady_clock::time_point next_;
};

}  // namespace

std::unique_ptr<Sink> make_default_sink() { return std::make_unique<NullSink>(); }

}  // namespace audio
