#include "audio/hooks.h"

#include <mutex>

namespace audio {
namespace {
std::mutex g_capture_m;
test_hooks::CaptureFn g_capture = nullptr;
void* g_capture_user = nullptr;
}  // namespace

Hooks& HookState() {
  static Hooks* h = new Hooks();
  return *h;
}

void CallCapture(const int16_t* frames, size_t count) {
  test_hooks::CaptureFn fn;
  void* user;
  {
    std::lock_guard<std::mutex> l(g_capture_m);
    fn = g_capture;
    user = g_capture_user;
  }
  if (fn) fn(frames, count, user);
}

namespace test_hooks {

void SetNoOutputDevice(bool on) { HookState().no_device.store(on); }
void SetFastPacing(bool on) { HookState().fast_pacing.store(on); }
void SetCapture(CaptureFn fn, void* user) {
  std::lock_guard<std::mutex> l(g_capture_m);
  g_capture = fn;
  g_capture_user = user;
}
void SetTimeouts(int connect_ms, int read_ms, int stall_ms) {
  HookState().connect_ms.store(connect_ms);
  HookState().read_ms.store(read_ms);
  HookState().stall_ms.store(stall_ms);
}
void SetOpenTimeout(int open_ms) { HookState().open_ms.store(open_ms); }
void FailOutput(int times) {
  HookState().output_faults.store(times);
  WakeOutput();
}
void SetReconnectPause(int first_ms) { HookState().reconnect_ms.store(first_ms); }
uint64_t OutputBlocks() { return HookState().output_blocks.load(); }
uint64_t DownloadReads() { return HookState().download_reads.load(); }
void Reset() {
  SetNoOutputDevice(false);
  SetFastPacing(false);
  SetCapture(nullptr, nullptr);
  SetTimeouts(0, 0, 0);
  SetOpenTimeout(0);
  FailOutput(0);
  SetReconnectPause(0);
}

}  // namespace test_hooks
}  // namespace audio
