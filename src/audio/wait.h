// Waits of the library's callers that keep handling messages sent to the waiting thread.
#pragma once
#include <condition_variable>
#include <mutex>

#include "net/deadline.h"

namespace audio {

// A one-way switch: set once, waited for by any number of threads.
class Latch {
 public:
  Latch();
  ~Latch();
  Latch(const Latch&) = delete;
  Latch& operator=(const Latch&) = delete;

  void Set();
  bool IsSet();
  // Waits until set or the deadline passes; returns IsSet(). A thread other than the
  // library's own keeps handling sent messages meanwhile: on Windows the wait also wakes
  // for them, and the installed wait pump runs at least every few milliseconds.
  bool Wait(net::Deadline deadline = net::Deadline());

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool set_ = false;
#ifdef _WIN32
  void* event_ = nullptr;
#endif
};

// Marks the calling thread as one of the library's (download and output threads): its
// waits do not pump, as its sent messages, if any, are not the program's.
void MarkLibraryThread();
bool OnLibraryThread();

}  // namespace audio
