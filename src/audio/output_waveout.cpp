// Windows output through waveOut: a ring of buffers refilled by the output thread,
// which waits on the device's event (no work happens in a waveOut callback).
#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "audio/output.h"

namespace audio {
namespace {

constexpr int kBuffers = 6;
constexpr int kBufferMs = 50;

class WaveOutSink : public Sink {
 public:
  ~WaveOutSink() override { Stop(); }

  bool Start(int rate) override {
    if (waveOutGetNumDevs() == 0) return false;
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event_) return false;
    WAVEFORMATEX fmt{};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = 2;
    fmt.nSamplesPerSec = static_cast<DWORD>(rate);
    fmt.wBitsPerSample = 16;
    fmt.nBlockAlign = 4;
    fmt.nAvgBytesPerSec = fmt.nSamplesPerSec * fmt.nBlockAlign;
    if (waveOutOpen(&wo_, WAVE_MAPPER, &fmt, reinterpret_cast<DWORD_PTR>(event_), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
      wo_ = nullptr;
      CloseHandle(event_);
      event_ = nullptr;
      return false;
    }
    frames_ = static_cast<size_t>(rate) * kBufferMs / 1000;
    for (int i = 0; i < kBuffers; ++i) {
      mem_[i].assign(frames_ * 2, 0);
      hdr_[i] = WAVEHDR{};
      hdr_[i].lpData = reinterpret_cast<LPSTR>(mem_[i].data());
      hdr_[i].dwBufferLength = static_cast<DWORD>(frames_ * 4);
      waveOutPrepareHeader(wo_, &hdr_[i], sizeof(WAVEHDR));
    }
    return true;
  }

  size_t WaitReady(int timeout_ms) override {
    if (!wo_) return 0;
    if (!(hdr_[next_].dwFlags & WHDR_INQUEUE)) return frames_;
    WaitForSingleObject(event_, static_cast<DWORD>(timeout_ms));
    return (hdr_[next_].dwFlags & WHDR_INQUEUE) ? 0 : frames_;
  }

  void Write(const int16_t* frames, size_t count) override {
    if (!wo_) return;
    WAVEHDR& h = hdr_[next_];
    if (count > frames_) count = frames_;
    std::copy(frames, frames + count * 2, mem_[next_].begin());
    h.dwBufferLength = static_cast<DWORD>(count * 4);
    waveOutWrite(wo_, &h, sizeof(WAVEHDR));
    next_ = (next_ + 1) % kBuffers;
  }

  void Stop() override {
    if (wo_) {
      waveOutReset(wo_);
      for (int i = 0; i < kBuffers; ++i) waveOutUnprepareHeader(wo_, &hdr_[i], sizeof(WAVEHDR));
      waveOutClose(wo_);
      wo_ = nullptr;
    }
    if (event_) {
      CloseHandle(event_);
      event_ = nullptr;
    }
  }

 private:
  HWAVEOUT wo_ = nullptr;
  HANDLE event_ = nullptr;
  WAVEHDR hdr_[kBuffers]{};
  std::vector<int16_t> mem_[kBuffers];
  size_t frames_ = 0;
  int next_ = 0;
};

}  // namespace

std::unique_ptr<Sink> MakeDefaultSink() { return std::make_unique<WaveOutSink>(); }

}  // namespace audio
