// A point in time that a whole operation must finish by.
#pragma once
#include <chrono>
#include <climits>

namespace net {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // No deadline at all.
  Deadline() : at_(Clock::time_point::max()) {}
  static Deadline Never() { return Deadline(); }
  static Deadline InMs(long long ms) {
    Deadline d;
    d.at_ = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    return d;
  }

  // The earlier of this deadline and ms from now.
  Deadline WithinMs(long long ms) const {
    Deadline d = InMs(ms);
    return d.at_ < at_ ? d : *this;
  }

  bool IsNever() const { return at_ == Clock::time_point::max(); }
  bool Passed() const { return !IsNever() && Clock::now() >= at_; }

  // Milliseconds left (0 once passed, INT_MAX without a deadline), rounded up so that a
  // wait of that length does not end just before the deadline.
  int LeftMs() const {
    if (IsNever()) return INT_MAX;
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(at_ - Clock::now()).count();
    if (left <= 0) return 0;
    long long ms = (left + 999) / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  }

  Clock::time_point At() const { return at_; }

 private:
  Clock::time_point at_;
};

}  // namespace net
