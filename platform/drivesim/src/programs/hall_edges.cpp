#include "programs/hall_edges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <set>

namespace drivesim::programs {

namespace {

// The codes of the sectors 0 … 5 with the reference wiring (HALLCASE 2).
constexpr std::array<int, 6> kCodeRef{5, 4, 6, 2, 3, 1};
constexpr double kSector16 = 65536.0 / 6.0;
constexpr double kHalfSector16 = kSector16 / 2.0;
constexpr double kSpacingTolerance16 = 65536.0 * 15.0 / 360.0;
constexpr int kEdgesUsed = 6;

std::optional<int> IndexInTable(int code) {
  const auto it = std::find(kCodeRef.begin(), kCodeRef.end(), code);
  if (it == kCodeRef.end()) return std::nullopt;
  return static_cast<int>(it - kCodeRef.begin());
}

// The direction in which the codes step through the table along the forward sweep: +1, −1, or
// none when they do not follow it.
std::optional<int> TableDirection(int restCode, const std::vector<HallEdge>& forward) {
  const std::optional<int> rest = IndexInTable(restCode);
  if (!rest || forward.empty()) return std::nullopt;
  const std::optional<int> next = IndexInTable(forward.front().after);
  if (!next) return std::nullopt;
  const int step = (*next - *rest + 6) % 6;
  if (step != 1 && step != 5) return std::nullopt;
  const int direction = step == 1 ? 1 : -1;
  int index = *rest;
  for (const HallEdge& edge : forward) {
    if (edge.before != kCodeRef[static_cast<std::size_t>(index)]) return std::nullopt;
    index = (index + direction + 6) % 6;
    if (edge.after != kCodeRef[static_cast<std::size_t>(index)]) return std::nullopt;
  }
  return direction;
}

// The angle of a forward edge: the mean with the backward pass of the same edge (the codes the
// other way round, nearest in angle).
std::optional<double> MeanEdgeAngle(const HallEdge& edge, const std::vector<HallEdge>& backward) {
  std::optional<double> nearest;
  for (const HallEdge& back : backward) {
    if (back.before != edge.after || back.after != edge.before) continue;
    if (!nearest || std::abs(back.angle16 - edge.angle16) < std::abs(*nearest - edge.angle16)) nearest = back.angle16;
  }
  if (!nearest || std::abs(*nearest - edge.angle16) > kHalfSector16) return std::nullopt;
  return (edge.angle16 + *nearest) / 2.0;
}

}  // namespace

HallConfiguration FindHallConfiguration(int restCode, const std::vector<HallEdge>& forward,
                                        const std::vector<HallEdge>& backward) {
  std::set<int> codes{restCode};
  for (const HallEdge& edge : forward) codes.insert(edge.after);
  if (codes.size() < 6 || static_cast<int>(forward.size()) < kEdgesUsed) return {};
  const std::optional<int> direction = TableDirection(restCode, forward);
  if (!direction) return {};
  std::vector<double> angles;
  for (int n = 0; n < kEdgesUsed; ++n) {
    const std::optional<double> angle = MeanEdgeAngle(forward[static_cast<std::size_t>(n)], backward);
    if (!angle) return {};
    if (!angles.empty() && std::abs(*angle - angles.back() - kSector16) > kSpacingTolerance16) return {};
    angles.push_back(*angle);
  }
  // The nominal edges lie at 30° + 60°·n from the aligned rest.
  double deviation = 0.0;
  for (const double angle : angles) {
    const double nearestNominal = kHalfSector16 + kSector16 * std::round((angle - kHalfSector16) / kSector16);
    deviation += (angle - nearestNominal) / kEdgesUsed;
  }
  const auto shift = static_cast<std::int32_t>(std::lround(std::clamp(deviation, -5461.0, 5461.0)));
  const int k = *IndexInTable(restCode);
  return {2 + (*direction < 0 ? 6 : 0) + k, shift};
}

}  // namespace drivesim::programs
