// The protections of closed-loop motion. Control error: with the position loop closed, abs(e) >
// ERRMAX (ERRMAXL when the drive has it) on TERRMAX consecutive slow samples; with the speed
// loop closed, abs(e) > SERRMAX on TSERRMAX consecutive samples; a sample count of 65535 turns the
// check off. It latches 0x0008 and switches the axis off. Limit switches: LSP (LSN) active while
// the reference or the measured speed is positive (negative) latches 0x0040 (0x0080) and makes a
// quick stop: current reference 0 for 20 ms, then axis off. The limit bits cannot be cleared
// while their input stays active. A switch is active by its input's level, or where the load
// (the motor's position through the transmission) stands at or beyond it.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {

constexpr std::int32_t kCheckOff = 65535;
constexpr double kQuickStop_s = 0.020;

// Counts a consecutive run of samples beyond the limit; true when it reaches `samples`.
bool Exceeded(int& run, std::int64_t error, std::int64_t limit, std::int32_t samples) {
  if (samples == kCheckOff) {
    run = 0;
    return false;
  }
  run = std::llabs(error) > limit ? run + 1 : 0;
  return run >= std::max(1, samples);
}

}  // namespace

void Drive::Impl::CheckMotionProtections() {
  if (!servo || !stage.driven) {
    positionErrorRun = 0;
    speedErrorRun = 0;
    return;
  }
  const bool positionError = servo->PositionLoopClosed() &&
                             Exceeded(positionErrorRun, servo->PositionError(), motionLimits.positionError,
                                      motionLimits.positionSamples);
  const bool speedError = servo->SpeedLoopClosed() &&
                          Exceeded(speedErrorRun, servo->SpeedError(), motionLimits.speedError,
                                   motionLimits.speedSamples);
  if (positionError || speedError) {
    Trip(mer::kControlError);
    return;
  }
  if (quickStopTicks >= 0) return;
  const std::int64_t reference = servo->SpeedLoopClosed() ? servo->SpeedReference16() : servo->CurrentReference();
  const std::int32_t speed = servo->Speed();
  std::uint16_t bit = 0;
  if (PositiveLimitActive() && (reference > 0 || speed > 0)) bit = mer::kPositiveLimit;
  if (NegativeLimitActive() && (reference < 0 || speed < 0)) bit |= mer::kNegativeLimit;
  if (bit == 0) return;
  latchedErrors |= bit;
  quickStopTicks = std::max(1, static_cast<int>(std::lround(kQuickStop_s / timing.currentLoop_s())));
}

bool Drive::Impl::QuickStopStep() {
  if (quickStopTicks < 0) return false;
  if (quickStopTicks == 0) {
    SwitchAxisOff();
    EndProgramOnFault();
    return true;
  }
  --quickStopTicks;
  return true;
}

std::uint16_t Drive::Impl::HeldLimitBits() const {
  std::uint16_t held = 0;
  if (PositiveLimitActive()) held |= latchedErrors & mer::kPositiveLimit;
  if (NegativeLimitActive()) held |= latchedErrors & mer::kNegativeLimit;
  return held;
}

bool Drive::Impl::PositiveLimitActive() const {
  const auto& at = scenario.positive_limit_at;
  return positiveLimit || (at && plant.position / plantParams.ratio >= *at);
}

bool Drive::Impl::NegativeLimitActive() const {
  const auto& at = scenario.negative_limit_at;
  return negativeLimit || (at && plant.position / plantParams.ratio <= *at);
}

}  // namespace drivesim
