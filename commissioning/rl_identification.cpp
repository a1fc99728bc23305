#include "commissioning/rl_identification.h"

#include <numbers>

namespace kestrel {

void LoggedMean::Add(double value) {
  if (points_ == 0) {
    mean_ = value;
  } else {
    const auto n = static_cast<double>(points_);
    mean_ = ((n - 1.0) * mean_ + value) / n;
  }
  ++points_;
}

double MeasuredBusVoltage_V(double vdcMaxMeasurable_V, double busReading, double adcFullScale) {
  return vdcMaxMeasurable_V * busReading / adcFullScale;
}

double PhaseResistance_Ohm(double u1, double u2, double i1, double i2, double ku, double ki) {
  return ((u1 - u2) / (i1 - i2)) / ku * ki;
}

double PhaseInductance_H(double meanId, double ua, double angleIncrement, double currentLoopPeriod_s,
                         double meanSquaredCurrent, double ki, double ku) {
  const double omega = angleIncrement * (2.0 * std::numbers::pi) / (currentLoopPeriod_s * 65535);
  return (meanId * ua) / (omega * meanSquaredCurrent) * ki / ku;
}

std::optional<std::string> ResistanceFault(double i1, double i2, double r_Ohm) {
  if (!(i1 - i2 > 0.0) || !(r_Ohm > 0.0)) return kCurrentTooLowText;
  return std::nullopt;
}

std::optional<std::string> InductanceFault(double meanSquaredCurrent, double angleIncrement, double l_H) {
  if (meanSquaredCurrent == 0.0 || angleIncrement == 0.0 || !(l_H > 0.0)) return kCurrentTooLowText;
  if (l_H < kMinimumInductance_H) return kInductanceTooLowText;
  if (l_H > kMaximumInductance_H) return kInductanceTooHighText;
  return std::nullopt;
}

}  // namespace kestrel
