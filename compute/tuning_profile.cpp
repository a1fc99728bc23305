#include "compute/tuning_profile.h"

#include <cmath>
#include <cstddef>

#include "drivebase/numeric.h"

namespace kestrel {

namespace {

constexpr double kOne = 65536.0;  // 1.0 in 16.16 fixed point
constexpr std::int64_t kMaxCount = 32767;
constexpr double kMaxSlope = 32767.0;

// The counts first (the slopes need them as divisors), then the slopes as doubles, checked
// before they become integers.
struct Counts {
  std::array<std::int64_t, 6> a{};
  std::array<std::int64_t, 2> divisors{};  // the ramps' period counts that the slopes divide by
  std::int64_t returnRamp = 0;             // bidirectional: the periods of the last ramp (m), 0 for none
};

std::int64_t Periods(double time_s, double period_s) { return TG_Round(time_s / period_s); }

// q(x, n): the ramp of x over n periods, 16.16.
double RampSlope(double x, std::int64_t n) { return std::floor(x / static_cast<double>(n) * kOne + 0.5); }

Counts SingleDirectionCounts(ProfileKind kind, const ProfileTimes& t, double period_s) {
  const std::int64_t c0 = Periods(t.accelerate_s, period_s);
  const std::int64_t c3 = Periods(t.decelerate_s, period_s);
  // A speed ramp of one period keeps it; a position ramp always leaves its last period to the
  // correction segment.
  const auto ramp = [kind](std::int64_t c) { return kind == ProfileKind::position || c > 1 ? c - 1 : c; };
  Counts counts;
  counts.a = {ramp(c0), 1, Periods(t.holdPositive_s, period_s), ramp(c3), 1, Periods(t.holdNegative_s, period_s)};
  counts.divisors = {c0, c3};
  return counts;
}

Counts BidirectionalCounts(const ProfileTimes& t, double period_s) {
  const std::int64_t m = Periods(t.decelerate_s, period_s) - 1;
  Counts counts;
  counts.a = {Periods(t.accelerate_s, period_s), Periods(t.holdPositive_s, period_s),
              Periods(2.0 * t.decelerate_s, period_s), Periods(t.holdNegative_s, period_s), m == 0 ? 1 : m, 1};
  counts.divisors = {counts.a[0], counts.a[2]};
  counts.returnRamp = m;
  return counts;
}

bool CountsValid(const Counts& counts) {
  for (const std::int64_t a : counts.a) {
    if (a < 0 || a > kMaxCount) return false;
  }
  for (const std::int64_t n : counts.divisors) {
    if (n < 1) return false;
  }
  return true;
}

std::array<double, 6> SingleDirectionSlopes(double s, double distance, const Counts& counts) {
  const auto& a = counts.a;
  const double b0 = RampSlope(s * distance, counts.divisors[0]);
  const double b3 = RampSlope(-s * distance, counts.divisors[1]);
  const double b1 = std::floor((s * distance - b0 / kOne * static_cast<double>(a[0])) * kOne + 0.5);
  const double b4 = std::floor((-s * distance - b3 / kOne * static_cast<double>(a[3])) * kOne + 0.5);
  return {b0, b1, 0.0, b3, b4, 0.0};
}

// The slopes of the ramps; the last segment's slope (the integer that brings the sum of all
// changes back to 0) is computed once these are known to fit.
std::array<double, 6> BidirectionalSlopes(double distance, const Counts& counts) {
  const auto& a = counts.a;
  const double b0 = RampSlope(distance, a[0]);
  const double b2 = RampSlope(-(b0 / kOne * static_cast<double>(a[0]) + distance), a[2]);
  const double b4 = counts.returnRamp == 0 ? 0.0 : RampSlope(distance, counts.returnRamp);
  return {b0, 0.0, b2, 0.0, b4, 0.0};
}

bool SlopeFits(double slope) { return std::fabs(TG_FRound(slope / kOne)) <= kMaxSlope; }

}  // namespace

ReferenceProfile BuildReferenceProfile(ProfileKind kind, ReferenceShape shape, std::int64_t distance,
                                       const ProfileTimes& times, double period_s) {
  ReferenceProfile profile;
  const bool bidirectional = shape == ReferenceShape::bidirectional;
  const Counts counts = bidirectional ? BidirectionalCounts(times, period_s) : SingleDirectionCounts(kind, times, period_s);
  if (!CountsValid(counts)) {
    profile.error = kProfileCountText;
    return profile;
  }
  const double d = static_cast<double>(distance);
  const std::array<double, 6> slopes = bidirectional
                                           ? BidirectionalSlopes(d, counts)
                                           : SingleDirectionSlopes(shape == ReferenceShape::negative ? -1.0 : 1.0, d, counts);
  for (const double slope : slopes) {
    if (!SlopeFits(slope)) {
      profile.error = kProfileSlopeText;
      return profile;
    }
  }
  for (std::size_t i = 0; i < slopes.size(); ++i) {
    profile.segments[i] = {counts.a[i], static_cast<std::int64_t>(slopes[i])};
  }
  if (bidirectional) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < 5; ++i) sum += profile.segments[i].slope * profile.segments[i].count;
    profile.segments[5].slope = -sum;
    if (!SlopeFits(static_cast<double>(-sum))) profile.error = kProfileSlopeText;
  }
  return profile;
}

ReferenceShape ReferenceShapeOf(int code) {
  if (code == 1) return ReferenceShape::negative;
  if (code == 2) return ReferenceShape::bidirectional;
  return ReferenceShape::positive;
}

double SnapToSpeedGrid(double speed, double scale) {
  if (scale == 0.0) return speed;
  double units = std::trunc(TG_FRound(speed * scale));
  if (units == 0.0) units = (speed < 0.0) == (scale < 0.0) ? 1.0 : -1.0;
  return units / scale;
}

}  // namespace kestrel
