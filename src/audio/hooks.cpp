#include "audio/hooks.h"

#include <mutex>

namespace audio {
namespace {
std::mutex g_capture_m;
test_hooks::CaptureFn g_capture = nullptr;
void *g_capture_user = nullptr;
}  // namespace

Hooks &hooks() {
    static Hooks *h = new Hooks();
    return *h;
}

void call_capture(const int16_t *frames, size_t count) {
    test_hooks::CaptureFn fn;
    void *user;
    {
        std::lock_guard<std::mutex> l(g_capture_m);
        fn = g_capture;
        user = g_capture_user;
    }
    if (fn) fn(frames, count, user);
}

namespace test_hooks {

void set_no_output_device(bool on) { hooks().no_device.store(on); }
void set_fast_pacing(bool on) { hooks().fast_pacing.store(on); }
void set_capture(CaptureFn fn, void *user) {
    std::lock_guard<std::mutex> l(g_capture_m);
    g_capture = fn;
    g_capture_user = user;
}
void set_timeouts(int connect_ms, int read_ms, int stall_ms) {
    hooks().connect_ms.store(connect_ms);
    hooks().read_ms.store(read_ms);
    hooks().stall_ms.store(stall_ms);
}
void set_open_timeout(int open_ms) { hooks().open_ms.store(open_ms); }
void fail_output(int times) {
    hooks().output_faults.store(times);
    wake_output();
}
void set_reconnect_pause(int first_ms) { hooks().reconnect_ms.store(first_ms); }
uint64_t output_blocks() { return hooks().output_blocks.load(); }
uint64_t download_reads() { return hooks().download_reads.load(); }
void reset() {
    set_no_output_device(false);
    set_fast_pacing(false);
    set_capture(nullptr, nullptr);
    set_timeouts(0, 0, 0);
    set_open_timeout(0);
    fail_output(0);
    set_reconnect_pause(0);
}

}  // namespace test_hooks
}  // namespace audio
