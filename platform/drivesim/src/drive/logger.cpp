#include "drive/logger.h"

#include <algorithm>
#include <utility>

namespace drivesim::drive {

void Logger::Attach(const LoggerSettings& settings, int points) {
  settings_ = settings;
  pointCount_ = points;
  attached_ = true;
  triggerTick_.reset();
  points_.clear();
  previous_.clear();
  points_.reserve(static_cast<std::size_t>(std::max(0, points)));
}

void Logger::Detach() {
  attached_ = false;
  triggerTick_.reset();
}

void Logger::Trigger(std::int64_t tick) {
  if (!attached_ || triggerTick_) return;
  triggerTick_ = tick;
  periodsSinceSample_ = 0;
}

void Logger::Restart(std::int64_t tick) {
  if (!attached_) return;
  if (triggerTick_ && !points_.empty()) previous_ = std::move(points_);
  points_.clear();
  points_.reserve(static_cast<std::size_t>(std::max(0, pointCount_)));
  triggerTick_ = tick;
  periodsSinceSample_ = 0;
}

bool Logger::TakesPoint(bool slow) {
  if (!Sampling() || (settings_.type == 1) != slow) return false;
  if (periodsSinceSample_ > 0 && periodsSinceSample_ < settings_.divider) {
    ++periodsSinceSample_;
    return false;
  }
  periodsSinceSample_ = 1;
  return true;
}

void Logger::Record(std::int64_t tick, double tickPeriod_s, std::vector<std::int32_t> values) {
  points_.push_back({static_cast<double>(tick - *triggerTick_) * tickPeriod_s, std::move(values)});
}

}  // namespace drivesim::drive
