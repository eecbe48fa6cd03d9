// Test hooks of the audio library (native builds). Not part of the public interface.
#pragma once
#include <cstddef>
#include <cstdint>

namespace audio_testing {

// BASS_Init fails as if no output device existed.
void set_no_output_device(bool on);

// Null sink pacing: false = real time (default), true = as fast as audio is decoded.
void set_fast_pacing(bool on);

// Receives every mixed block written while at least one channel plays (interleaved stereo
// 16-bit at the output rate), on the library's output thread. nullptr removes it.
using CaptureFn = void (*)(const int16_t *frames, size_t count, void *user);
void set_capture(CaptureFn fn, void *user);

// Overrides the time-outs in ms; 0 keeps the built-in value.
void set_timeouts(int connect_ms, int read_ms, int stall_ms);
// Overrides the overall deadline of an opening in ms; 0 keeps the built-in value.
void set_open_timeout(int open_ms);

// The output thread fails (throws) on its next `times` passes.
void fail_output(int times);

// The pause before the first reconnect in ms (it doubles for each further try); 0 keeps
// the built-in value.
void set_reconnect_pause(int first_ms);

// Counters since the start of the process: blocks the output thread handed to its sink, and
// reads of the download threads from their sockets.
uint64_t output_blocks();
uint64_t download_reads();

// All hooks back to their defaults.
void reset();

}  // namespace audio_testing

// The same hooks under the project-wide namespace.
namespace tivolna {
namespace audio {
namespace testing {
inline void set_no_device(bool on) { audio_testing::set_no_output_device(on); }
inline void set_no_output_device(bool on) { audio_testing::set_no_output_device(on); }
inline void set_fast_pacing(bool on) { audio_testing::set_fast_pacing(on); }
inline void set_capture(audio_testing::CaptureFn fn, void *user) { audio_testing::set_capture(fn, user); }
inline void set_timeouts(int connect_ms, int read_ms, int stall_ms) {
    audio_testing::set_timeouts(connect_ms, read_ms, stall_ms);
}
inline void set_open_timeout(int open_ms) { audio_testing::set_open_timeout(open_ms); }
inline void fail_output(int times) { audio_testing::fail_output(times); }
inline void set_reconnect_pause(int first_ms) { audio_testing::set_reconnect_pause(first_ms); }
inline void reset() { audio_testing::reset(); }
}  // namespace testing
}  // namespace audio
}  // namespace tivolna
