#include "audio/wait.h"

#include <atomic>
#include <chrono>

#include "audio/wait_pump.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace audio {
namespace {

constexpr int kPumpSliceMs = 5;  // longest wait between two runs of the pump

std::atomic<WaitPump> g_pump{nullptr};
thread_local bool t_library_thread = false;

// Handles what other threads sent to this one.
void PumpOnce() {
#ifdef _WIN32
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
#endif
  if (WaitPump p = g_pump.load()) p();
}

}  // namespace

void SetWaitPump(WaitPump pump) { g_pump.store(pump); }

void MarkLibraryThread() { t_library_thread = true; }
bool OnLibraryThread() { return t_library_thread; }

Latch::Latch() {
#ifdef _WIN32
  event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
#endif
}

Latch::~Latch() {
#ifdef _WIN32
  if (event_) CloseHandle(static_cast<HANDLE>(event_));
#endif
}

void Latch::Set() {
  {
    std::lock_guard<std::mutex> l(m_);
    set_ = true;
#ifdef _WIN32
    if (event_) SetEvent(static_cast<HANDLE>(event_));
#endif
  }
  cv_.notify_all();
}

bool Latch::IsSet() {
  std::lock_guard<std::mutex> l(m_);
  return set_;
}

bool Latch::Wait(net::Deadline deadline) {
  const bool pumping = !t_library_thread;
#ifdef _WIN32
  if (pumping && event_) {
    HANDLE h = static_cast<HANDLE>(event_);
    for (;;) {
      if (IsSet()) return true;
      int left = deadline.LeftMs();
      if (left <= 0) return false;
      // wakes for the event and for messages sent by other threads
      DWORD r = MsgWaitForMultipleObjectsEx(
          1, &h, static_cast<DWORD>(left < kPumpSliceMs ? left : kPumpSliceMs), QS_SENDMESSAGE, 0);
      if (r == WAIT_OBJECT_0) return true;
      PumpOnce();
    }
  }
#endif
  std::unique_lock<std::mutex> l(m_);
  for (;;) {
    if (set_) return true;
    int left = deadline.LeftMs();
    if (left <= 0) return false;
    if (!pumping || !g_pump.load()) {
      if (deadline.IsNever())
        cv_.wait(l, [this] { return set_; });
      else
        cv_.wait_until(l, deadline.At(), [this] { return set_; });
      continue;
    }
    cv_.wait_for(l, std::chrono::milliseconds(left < kPumpSliceMs ? left : kPumpSliceMs));
    if (set_) return true;
    l.unlock();
    PumpOnce();
    l.lock();
  }
}

}  // namespace audio
