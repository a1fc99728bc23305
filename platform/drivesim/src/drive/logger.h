// The single-axis logger: samples named variables every `divider` slow or fast periods from the
// trigger on, until its points are taken.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "drivesim/drive.h"

namespace drivesim::drive {

class Logger {
 public:
  // Attaches a configuration for the next run (points already lowered to fit the buffer).
  void Attach(const LoggerSettings& settings, int points);
  void Detach();
  bool Attached() const { return attached_; }
  void Trigger(std::int64_t tick);
  // A new capture from `tick` (a program's next cycle); the one taken so far is kept as the last
  // complete capture until the new one is full.
  void Restart(std::int64_t tick);
  bool Full() const { return attached_ && static_cast<int>(points_.size()) >= pointCount_; }
  bool Sampling() const { return attached_ && triggerTick_ && !Full(); }  // triggered and not yet full
  int Points() const { return attached_ ? pointCount_ : 0; }
  // Called at every fast (slow = false) or slow tick after the program step while Sampling():
  // whether this tick takes a point (the first at the trigger, then one every `divider` periods
  // of the logger's type).
  bool TakesPoint(bool slow);
  // The point of a tick for which TakesPoint was true: the settings' variables in their order.
  void Record(std::int64_t tick, double tickPeriod_s, std::vector<std::int32_t> values);
  const std::vector<std::string>& Variables() const { return settings_.variables; }
  // The points to upload: the capture in progress, or while it is not yet full the last complete one.
  const std::vector<LogPoint>& LoggedPoints() const { return Full() || previous_.empty() ? points_ : previous_; }

 private:
  LoggerSettings settings_;
  int pointCount_ = 0;
  bool attached_ = false;
  std::optional<std::int64_t> triggerTick_;
  int periodsSinceSample_ = 0;
  std::vector<LogPoint> points_;
  std::vector<LogPoint> previous_;   // the last complete capture before a restart
};

}  // namespace drivesim::drive
