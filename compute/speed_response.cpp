#include "compute/speed_response.h"

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace {

// Biquads in series, direct form I, each with its own memory.
class FilterChain {
 public:
  explicit FilterChain(const std::vector<BiquadStage>& stages) : stages_(stages), memory_(stages.size()) {}

  double Step(double x) {
    for (std::size_t k = 0; k < stages_.size(); ++k) {
      const BiquadStage& c = stages_[k];
      Memory& m = memory_[k];
      const double y = c.b0 * x + c.b1 * m.x1 + c.b2 * m.x2 - c.a1 * m.y1 - c.a2 * m.y2;
      m = {x, m.x1, y, m.y1};
      x = y;
    }
    return x;
  }

 private:
  struct Memory {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  };
  const std::vector<BiquadStage>& stages_;
  std::vector<Memory> memory_;
};

// The shaft between two speed samples: speed w and counter θ in counts (per speed period).
struct Shaft {
  double speed = 0.0;
  double counter = 0.0;

  // The mean current `mean` acting over the share `share` of a speed period.
  void Advance(double plantGain, double mean, double share) {
    const double next = speed + plantGain * mean * share;
    counter += (speed + next) / 2.0 * share;
    speed = next;
  }
};

}  // namespace

std::vector<double> ProfileReference16(const ReferenceProfile& profile) {
  std::vector<double> reference;
  double reference16 = 0.0;
  for (const ProfileSegment& segment : profile.segments) {
    for (std::int64_t k = 0; k < segment.count; ++k) {
      reference16 += static_cast<double>(segment.slope);
      reference.push_back(reference16);
    }
  }
  return reference;
}

std::vector<double> PredictSpeedResponse(const SpeedLoopModel& model, const std::vector<double>& reference16) {
  std::vector<double> speed;
  speed.reserve(reference16.size());
  FilterChain speedFilters(model.measuredSpeedFilters), currentFilters(model.currentReferenceFilters);
  std::optional<CurrentLoopStepper> currentLoop;
  if (model.currentLoop) currentLoop.emplace(*model.currentLoop);
  const double share = 1.0 / model.currentPeriodsPerSample;
  Shaft shaft;
  double previousCounter = 0.0, integral = 0.0, previous16 = 0.0;
  for (const double r16 : reference16) {
    const double measured = speedFilters.Step(shaft.counter - previousCounter);
    previousCounter = shaft.counter;
    speed.push_back(measured);
    const double error = std::floor(r16 / 65536.0) - measured;
    integral = std::clamp(integral + model.ki * error, -model.integralLimit, model.integralLimit);
    const double feedForward = model.kffa * (r16 - previous16) / 65536.0;
    previous16 = r16;
    const double u = std::clamp(model.kp * error + integral + feedForward, -model.outputLimit, model.outputLimit);
    const double currentReference = currentFilters.Step(u);
    if (!currentLoop) {
      shaft.Advance(model.plantGain, currentReference, 1.0);
      continue;
    }
    // The drive hands the current loop a whole count, the filters' output shifted down.
    const auto reference = static_cast<std::int32_t>(std::clamp(std::floor(currentReference), -32768.0, 32767.0));
    for (int m = 0; m < model.currentPeriodsPerSample; ++m) {
      const double before = currentLoop->Current();
      shaft.Advance(model.plantGain, (before + currentLoop->Step(reference)) / 2.0, share);
    }
  }
  return speed;
}

}  // namespace kestrel
