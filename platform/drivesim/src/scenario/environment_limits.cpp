// Limits of the scripted user's environment values.
#include <cmath>
#include <string>

#include "drivesim/scenario.h"
#include "scenario/number_text.h"

namespace drivesim {

std::string SupplyProblem(double volts) {
  if (!std::isfinite(volts) || volts <= 0.0) return "the supply voltage must be positive (found " + NumberText(volts) + " V)";
  return {};
}

std::string LoadProblem(double torque) {
  if (!std::isfinite(torque)) return "the load must be a finite number";
  return {};
}

std::string FrictionProblem(double coulomb, std::optional<double> breakaway) {
  if (!std::isfinite(coulomb) || coulomb < 0.0) {
    return "the Coulomb friction must not be negative (found " + NumberText(coulomb) + ")";
  }
  if (breakaway && (!std::isfinite(*breakaway) || *breakaway < coulomb)) {
    return "the breakaway friction must not be below the Coulomb friction (found " + NumberText(*breakaway) + " below " +
           NumberText(coulomb) + ")";
  }
  return {};
}

std::string HandCouplingProblem(double stiffness, double damping) {
  if (!std::isfinite(stiffness) || stiffness <= 0.0) {
    return "the hand's stiffness must be positive (found " + NumberText(stiffness) + ")";
  }
  if (!std::isfinite(damping) || damping < 0.0) {
    return "the hand's damping must not be negative (found " + NumberText(damping) + ")";
  }
  return {};
}

std::string TemperatureProblem(double celsius) {
  if (!std::isfinite(celsius) || celsius < -273.15) {
    return "the temperature must not be below absolute zero (found " + NumberText(celsius) + " °C)";
  }
  return {};
}

std::string AnalogInputProblem(double volts, double duration_s) {
  if (!std::isfinite(volts)) return "the analogue input voltage must be a finite number";
  if (!std::isfinite(duration_s) || duration_s < 0.0) {
    return "the analogue input's ramp must not last a negative time (found " + NumberText(duration_s) + " s)";
  }
  return {};
}

}  // namespace drivesim
