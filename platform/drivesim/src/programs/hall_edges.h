// The Hall configuration as the detection program finds it from the Hall edges of its sweeps:
// the configuration code HALLCASE (2 … 13, 0 when none fits) and the Hall shift.
#pragma once

#include <cstdint>
#include <vector>

namespace drivesim::programs {

// A change of the Hall code met by a sweep: the codes before and after it in the order the sweep
// met them, and the electrical angle (16-bit units, unwrapped from the aligned rest θ_e = 0).
struct HallEdge {
  int before = 0;
  int after = 0;
  double angle16 = 0.0;
};

struct HallConfiguration {
  std::int32_t hallCase = 0;  // 0: no valid combination
  std::int32_t shift16 = 0;   // delta_el_pos, within ±5461 (±30°)
};

// restCode: the code at the aligned rest; forward: the edges of the sweep from the rest by
// positive angles, backward: those of the sweep back. Each edge's angle is the mean of its two
// passes (lag and hysteresis cancel). An invalid code (0, 7), fewer than six distinct codes, a
// sequence that does not follow the drive's table, or edges not 60° ± 15° apart give no
// combination.
HallConfiguration FindHallConfiguration(int restCode, const std::vector<HallEdge>& forward,
                                        const std::vector<HallEdge>& backward);

}  // namespace drivesim::programs
