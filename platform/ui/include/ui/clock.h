// Time for the dialog framework: window timers and waits read it from a clock. The headless back
// end runs on a virtual clock that moves only when it is advanced, so a test that waits an hour
// takes no wall time; a graphical back end would read the system's clock.
#pragma once

#include <chrono>

namespace ui {

// Durations, and points in time counted from the clock's start.
using Milliseconds = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Milliseconds Now() const = 0;
};

// Starts at 0 and moves forward only when told; it never goes back.
class VirtualClock final : public Clock {
 public:
  Milliseconds Now() const override { return now_; }
  void AdvanceTo(Milliseconds time) { now_ = time > now_ ? time : now_; }
  void Advance(Milliseconds duration) { AdvanceTo(now_ + duration); }

 private:
  Milliseconds now_{0};
};

}  // namespace ui
