// Audio output sinks: interleaved stereo 16-bit at the library's output rate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

class Sink {
 public:
  virtual ~Sink() = default;
  // Opens the device; false when there is none or it cannot be opened.
  virtual bool Start(int rate) = 0;
  // Waits until the sink takes more audio; returns how many frames it wants now,
  // or 0 when timeout_ms passed first.
  virtual size_t WaitReady(int timeout_ms) = 0;
  virtual void Write(const int16_t* frames, size_t count) = 0;
  virtual void Stop() = 0;
  // True when the sink takes audio as fast as it is decoded (no silence is written).
  virtual bool Unpaced() const { return false; }
};

// The platform's default output (waveOut on Windows, the null sink elsewhere).
std::unique_ptr<Sink> MakeDefaultSink();

}  // namespace audio
