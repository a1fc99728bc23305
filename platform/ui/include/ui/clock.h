// Time for the dialog framework: window timers and waits read it from a clock. The headless back
// end runs on a virtual clock that moves only when it is advanced, so a test that waits an hour
// takes no wall time; the real-time back end (the graphical front end) reads the system's clock.
#pragma once

#include <chrono>

namespace ui {

// Durations, and points in time counted from the clock's start.
using Milliseconds = std::chrono::milliseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Milliseconds Now() const = 0;
  // Returns once the time has reached `time`: a virtual clock moves there, a real one waits.
  virtual void AdvanceTo(Milliseconds time) = 0;
};

// Starts at 0 and moves forward only when told; it never goes back.
class VirtualClock final : public Clock {
 public:
  Milliseconds Now() const override { return now_; }
  void AdvanceTo(Milliseconds time) override { now_ = time > now_ ? time : now_; }
  void Advance(Milliseconds duration) { AdvanceTo(now_ + duration); }

 private:
  Milliseconds now_{0};
};

// The system's monotonic clock, counted in whole milliseconds from the object's creation.
class SteadyClock final : public Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  Milliseconds Now() const override {
    return std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - start_);
  }
  void AdvanceTo(Milliseconds time) override;
  // The system's time point of `time` on this clock.
  TimePoint At(Milliseconds time) const { return start_ + time; }

 private:
  TimePoint start_ = std::chrono::steady_clock::now();
};

}  // namespace ui
