#include "audio/hooks.h"

#include <mutex>

namespace audio {
namespace {
std::mutex g_capture_m;
audio_testing::CaptureFn g_capture = nullptr;
void *g_capture_user = nullptr;
}  // namespace

Hooks &hooks() {
    static Hooks *h = new Hooks();
    return *h;
}

void call_capture(const int16_t *frames, size_t count) {
    audio_testing::CaptureFn fn;
    void *user;
    {
        std::lock_guard<std::mutex> l(g_capture_m);
        fn = g_capture;
        user = g_capture_user;
    }
    if (fn) fn(frames, count, user);
}

}  // namespace audio

namespace audio_testing {

void set_no_output_device(bool on) { audio::hooks().no_device.store(on); }
void set_fast_pacing(bool on) { audio::hooks().fast_pacing.store(on); }
void set_capture(CaptureFn fn, void *user) {
    std::lock_guard<std::mutex> l(audio::g_capture_m);
    audio::g_capture = fn;
    audio::g_capture_user = user;
}
void set_timeouts(int connect_ms, int read_ms, int stall_ms) {
    audio::hooks().connect_ms.store(connect_ms);
    audio::hooks().read_ms.store(read_ms);
    audio::hooks().stall_ms.store(stall_ms);
}
void set_open_timeout(int open_ms) { audio::hooks().open_ms.store(open_ms); }
void fail_output(int times) {
    audio::hooks().output_faults.store(times);
    audio::wake_output();
}
void set_reconnect_pause(int first_ms) { audio::hooks().reconnect_ms.store(first_ms); }
uint64_t output_blocks() { return audio::hooks().output_blocks.load(); }
uint64_t download_reads() { return audio::hooks().download_reads.load(); }
void reset() {
    set_no_output_device(false);
    set_fast_pacing(false);
    set_capture(nullptr, nullptr);
    set_timeouts(0, 0, 0);
    set_open_timeout(0);
    fail_output(0);
    set_reconnect_pause(0);
}

}  // namespace audio_testing
