// Test hooks of the audio library (native builds). Not part of the public interface.
#pragma once
#include <cstddef>
#include <cstdint>

namespace audio {
namespace test_hooks {

// BASS_Init fails as if no output device existed.
void SetNoOutputDevice(bool on);

// Null sink pacing: false = real time (default), true = as fast as audio is decoded.
void SetFastPacing(bool on);

// Receives every mixed block written while at least one channel plays (interleaved stereo
// 16-bit at the output rate), on the library's output thread. nullptr removes it.
using CaptureFn = void (*)(const int16_t* frames, size_t count, void* user);
void SetCapture(CaptureFn fn, void* user);

// Overrides the time-outs in ms; 0 keeps the built-in value.
void SetTimeouts(int connect_ms, int read_ms, int stall_ms);
// Overrides the overall deadline of an opening in ms; 0 keeps the built-in value.
void SetOpenTimeout(int open_ms);

// The output thread fails (throws) on its next `times` passes.
void FailOutput(int times);

// The pause before the first reconnect in ms (it doubles for each further try); 0 keeps
// the built-in value.
void SetReconnectPause(int first_ms);

// Counters since the start of the process: blocks the output thread handed to its sink, and
// reads of the download threads from their sockets.
uint64_t OutputBlocks();
uint64_t DownloadReads();

// All hooks back to their defaults.
void Reset();

}  // namespace test_hooks
}  // namespace audio
