// Digital Hall sensors: physical sensor j is high while θ_e ∈ [120°·(j−1) − 30° + δ,
// 120°·(j−1) + 150° + δ) with ±0.5° hysteresis; input i carries sensor order[i]; `inverted`
// complements the three inputs; HALL = 4·H1 + 2·H2 + H3.
#pragma once

#include <array>
#include <optional>

#include "drivesim/motor_model.h"

namespace drivesim::sensors {

struct HallState {
  std::array<bool, 3> sensorHigh{};   // physical sensors 1, 2, 3
  bool initialised = false;
  int code = 7;                       // the code of the last update
  double quietFrom = 0.0;             // no level can change while θ_e stays within
  double quietTo = -1.0;              //   (quietFrom, quietTo)
};

// Updates the sensor levels at electrical angle theta_e (rad) and returns the code 0 … 7.
int UpdateHalls(const HallModel& halls, HallState& s, double theta_e);

}  // namespace drivesim::sensors
