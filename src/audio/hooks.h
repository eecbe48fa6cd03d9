// Internal state behind the test hooks (test_hooks.h).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio/test_hooks.h"
#include "audio/source.h"

namespace audio {

struct Hooks {
  std::atomic<bool> no_device{false};
  std::atomic<bool> fast_pacing{false};
  std::atomic<int> connect_ms{0}, read_ms{0}, stall_ms{0}, open_ms{0};
  std::atomic<int> output_faults{0};  // output passes left to fail
  std::atomic<int> reconnect_ms{0};
  std::atomic<uint64_t> output_blocks{0}, download_reads{0};
};
Hooks& HookState();

// Wakes the output thread to look at its work again (it sleeps while nothing plays).
void WakeOutput();

// Calls the capture hook, if any, with mixed output.
void CallCapture(const int16_t* frames, size_t count);

}  // namespace audio
