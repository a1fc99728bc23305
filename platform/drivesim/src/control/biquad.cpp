#include "control/biquad.h"

#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "control/fixed_point.h"

namespace drivesim::control {

std::int32_t StepBiquad(const BiquadCoefficients& c, BiquadState& s, std::int32_t x) {
  const std::int64_t accumulator = c.b0 * x + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2;
  const std::int64_t y = Clamp((c.sf * accumulator) >> 31, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max());
  s.x2 = s.x1;
  s.x1 = x;
  s.y2 = s.y1;
  s.y1 = y;
  return static_cast<std::int32_t>(y);
}

std::int32_t StepBiquadChain(std::span<const BiquadCoefficients> slots, std::span<BiquadState> states,
                             std::int32_t x) {
  if (slots.size() != states.size()) {
    throw std::invalid_argument("biquad chain: " + std::to_string(slots.size()) + " slots but " +
                                std::to_string(states.size()) + " filter states");
  }
  for (std::size_t k = 0; k < slots.size(); ++k) x = StepBiquad(slots[k], states[k], x);
  return x;
}

SlotRange SlotsOf(const BiquadSlotCounts& counts, BiquadPlace place) {
  switch (place) {
    case BiquadPlace::PositionOutput:
      return {0, counts.positionOutput};
    case BiquadPlace::CurrentReference:
      return {counts.positionOutput, counts.currentReference};
    case BiquadPlace::MeasuredSpeed:
      return {counts.positionOutput + counts.currentReference, counts.measuredSpeed};
  }
  return {};
}

BiquadFilters::BiquadFilters(BiquadBank bank) : bank_(std::move(bank)), states_(bank_.slots.size()) {
  const BiquadSlotCounts& c = bank_.counts;
  if (bank_.slots.size() != c.positionOutput + c.currentReference + c.measuredSpeed) {
    throw std::invalid_argument(std::to_string(bank_.slots.size()) +
                                " filter slots do not match the counts SPDREF_BQ_INI, IQREF_BQ_INI, ASPD_BQ_INI");
  }
}

void BiquadFilters::SetBank(BiquadBank bank) {
  const BiquadSlotCounts& now = bank_.counts;
  const bool sameLayout = bank.slots.size() == bank_.slots.size() && bank.counts.positionOutput == now.positionOutput &&
                          bank.counts.currentReference == now.currentReference;
  if (!sameLayout) {
    *this = BiquadFilters(std::move(bank));
    return;
  }
  bank_ = std::move(bank);
}

std::int32_t BiquadFilters::Step(BiquadPlace place, std::int32_t x) {
  const SlotRange range = SlotsOf(bank_.counts, place);
  return StepBiquadChain(std::span(bank_.slots).subspan(range.first, range.count),
                         std::span(states_).subspan(range.first, range.count), x);
}

}  // namespace drivesim::control
