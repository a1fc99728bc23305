#include "drive/logger.h"

namespace drivesim::drive {

void Logger::Attach(const LoggerSettings& settings, int points) {
  settings_ = settings;
  pointCount_ = points;
  attached_ = true;
  triggerTick_.reset();
  points_.clear();
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

void Logger::Sample(bool slow, std::int64_t tick, double tickPeriod_s,
                    const std::function<std::int32_t(std::string_view)>& read) {
  if (!attached_ || !triggerTick_ || Full()) return;
  if ((settings_.type == 1) != slow) return;
  // The first sample is taken at the trigger; then one every `divider` periods of the type.
  if (periodsSinceSample_ > 0 && periodsSinceSample_ < settings_.divider) {
    ++periodsSinceSample_;
    return;
  }
  periodsSinceSample_ = 1;
  LogPoint point;
  point.time_s = static_cast<double>(tick - *triggerTick_) * tickPeriod_s;
  point.values.reserve(settings_.variables.size());
  for (const std::string& name : settings_.variables) point.values.push_back(read(name));
  points_.push_back(std::move(point));
}

}  // namespace drivesim::drive
