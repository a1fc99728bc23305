#include "compute/speed_response.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

double FilterChain::Step(double x) {
  for (std::size_t k = 0; k < stages_.size(); ++k) {
    const BiquadStage& c = stages_[k];
    Memory& m = memory_[k];
    const double y = c.b0 * x + c.b1 * m.x1 + c.b2 * m.x2 - c.a1 * m.y1 - c.a2 * m.y2;
    m = {x, m.x1, y, m.y1};
    x = y;
  }
  return x;
}

SpeedLoopRun::SpeedLoopRun(const SpeedLoopModel& model)
    : model_(model), speedFilters_(model.measuredSpeedFilters), currentFilters_(model.currentReferenceFilters) {
  if (model.currentLoop) currentLoop_.emplace(*model.currentLoop);
}

void SpeedLoopRun::Advance(double mean, double share) {
  const double next = speed_ + model_.plantGain * mean * share;
  counter_ += (speed_ + next) / 2.0 * share;
  speed_ = next;
}

double SpeedLoopRun::Step(double reference16) {
  const double measured = speedFilters_.Step(counter_ - previousCounter_);
  previousCounter_ = counter_;
  const double error = std::floor(reference16 / 65536.0) - measured;
  integral_ = std::clamp(integral_ + model_.ki * error, -model_.integralLimit, model_.integralLimit);
  const double feedForward = model_.kffa * (reference16 - previous16_) / 65536.0;
  previous16_ = reference16;
  const double u = std::clamp(model_.kp * error + integral_ + feedForward, -model_.outputLimit, model_.outputLimit);
  Drive(currentFilters_.Step(u));
  return measured;
}

void SpeedLoopRun::Drive(double currentReference) {
  if (!currentLoop_) {
    Advance(currentReference, 1.0);
    return;
  }
  // The drive hands the current loop a whole count, the filters' output shifted down.
  const auto reference = static_cast<std::int32_t>(std::clamp(std::floor(currentReference), -32768.0, 32767.0));
  const double share = 1.0 / model_.currentPeriodsPerSample;
  for (int m = 0; m < model_.currentPeriodsPerSample; ++m) {
    const double before = currentLoop_->Current();
    Advance((before + currentLoop_->Step(reference)) / 2.0, share);
  }
}

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
  SpeedLoopRun loop(model);
  for (const double r16 : reference16) speed.push_back(loop.Step(r16));
  return speed;
}

}  // namespace kestrel
