// The reference profiles of the speed and position tuning tests. The drive program follows six
// segments i = 0 … 5: for count(i) loop periods the reference changes by slope(i) per period,
// the slope in 16.16 fixed point (65536 = one speed or position unit per period).
//
// With N(t) = round(t / Ts), D the distance (speed or position in internal units) and the ramp
// slope q(x, n) = floor(x / n × 65536 + 0.5):
//   positive (s = +1) / negative (s = −1), c0 = N(accelerate), c3 = N(decelerate):
//     count: c0 − 1 (speed: c0 when c0 ≤ 1), 1, N(holdPositive), c3 − 1 (speed: c3 when c3 ≤ 1),
//            1, N(holdNegative)
//     slope: q(s·D, c0), the correction that lands on s·D exactly, 0,
//            q(−s·D, c3), the correction that lands on 0 exactly, 0
//   bidirectional, m = N(decelerate) − 1:
//     count: N(accelerate), N(holdPositive), N(2 × decelerate), N(holdNegative), m (1 when m = 0), 1
//     slope: q(D, a0), 0, q(−(b0 / 65536 × a0 + D), a2), 0, q(D, m) (0 when m = 0),
//            −(b0·a0 + b2·a2 + b4·a4): the changes sum to 0
// Every count is checked before any slope is computed, so a ramp of no period fails instead of
// dividing by zero.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrel {

// "Distances between consecutive points …" and "Reference variation …" (string resources 1, 2).
inline constexpr const char* kProfileCountText =
    "Distances between consecutive points on X axis must be greater than 0 and below 32768.";
inline constexpr const char* kProfileSlopeText =
    "Reference variation between two consecutive points is too big (slope overflow).";

enum class ProfileKind { speed, position };
// The setup's SpeedTestReferenceType / PositionTestReferenceType (positive also when it is missing).
enum class ReferenceShape { positive = 0, negative = 1, bidirectional = 2 };

// TaPS, TPS, TaNS, TNS (position: TaPP, TPP, TaNP, TNP) in seconds.
struct ProfileTimes {
  double accelerate_s = 0.0;
  double holdPositive_s = 0.0;
  double decelerate_s = 0.0;
  double holdNegative_s = 0.0;
};

struct ProfileSegment {
  std::int64_t count = 0;  // loop periods, 0 … 32767
  std::int64_t slope = 0;  // reference change per period, 16.16 fixed point
};

struct ReferenceProfile {
  std::array<ProfileSegment, 6> segments{};
  std::string error;  // empty when the profile can be handed to the drive
  bool Valid() const { return error.empty(); }
};

// The six segments for a distance of `distance` internal units (V = round(TestSpeed × load
// speed scale), or P = round(TestPosition × load position scale)) on loop period `period_s`.
ReferenceProfile BuildReferenceProfile(ProfileKind kind, ReferenceShape shape, std::int64_t distance,
                                       const ProfileTimes& times, double period_s);

// The shape named by the setup's reference type code (an unknown code or none: positive).
ReferenceShape ReferenceShapeOf(int code);

// The test speed snapped to the speed grid of `scale` internal units per base unit: the nearest
// whole number of internal units, at least one, with the sign the user typed (also behind a
// negative transmission, whose scale is negative). A scale of 0 leaves the speed.
double SnapToSpeedGrid(double speed, double scale);

}  // namespace kestrel
