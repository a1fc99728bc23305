// The drive's second-order filters: direct form I on integer samples with coefficients scaled by
// 2^31/SF, 64-bit accumulators, run at the slow-loop rate. The filter slots are packed by place:
// first the position controller's output (SPDREF_BQ_INI slots), then the current reference
// (IQREF_BQ_INI), then the measured speed (ASPD_BQ_INI).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace drivesim::control {

// One slot's registers: b0, b1, b2, a1, a2 as c/SF·2^31 rounded, SF = 2^e stored as its value.
struct BiquadCoefficients {
  std::int64_t b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  std::int64_t sf = 1;
};

struct BiquadState {
  std::int64_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// One sample:  y = (SF·(B0·x + B1·x1 + B2·x2 − A1·y1 − A2·y2)) >> 31, saturated to int32.
// The 64-bit accumulator holds samples up to about 2^28 in magnitude, far above the drive's
// 16-bit speeds and currents.
std::int32_t StepBiquad(const BiquadCoefficients& coefficients, BiquadState& state, std::int32_t x);

// Runs x through the slots in order (a place's filters in series).
std::int32_t StepBiquadChain(std::span<const BiquadCoefficients> slots, std::span<BiquadState> states,
                             std::int32_t x);

enum class BiquadPlace { PositionOutput = 0, CurrentReference = 1, MeasuredSpeed = 2 };

// The slot counts SPDREF_BQ_INI, IQREF_BQ_INI, ASPD_BQ_INI.
struct BiquadSlotCounts {
  std::size_t positionOutput = 0, currentReference = 0, measuredSpeed = 0;
};

// The first slot (0-based) and the number of slots of a place.
struct SlotRange {
  std::size_t first = 0, count = 0;
};
SlotRange SlotsOf(const BiquadSlotCounts& counts, BiquadPlace place);

// The drive's filter slots and how many belong to each place.
struct BiquadBank {
  BiquadSlotCounts counts;
  std::vector<BiquadCoefficients> slots;
};

// A bank of slots with their states; each place runs its own slots in series.
class BiquadFilters {
 public:
  // Throws std::invalid_argument when the slots do not match the counts.
  explicit BiquadFilters(BiquadBank bank);
  std::int32_t Step(BiquadPlace place, std::int32_t x);
  // New coefficients written while the loops run: the filters go on from their memories; a bank
  // of another layout starts with empty ones.
  void SetBank(BiquadBank bank);

 private:
  BiquadBank bank_;
  std::vector<BiquadState> states_;
};

}  // namespace drivesim::control
