// The speed and position loops' models read from the setup: the registers the test launch hands
// to the drive.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "compute/position_response.h"
#include "compute/setup_access.h"
#include "compute/speed_response.h"
#include "compute/tuning.h"

namespace kestrel {
namespace {

constexpr double kFullScale = 32767.0;
constexpr double kTwoTo31 = 2147483648.0;

double Internal(const CMC_Setup* setup, std::string_view name) { return OptionalInternalValue(setup, name); }

// A gain as the drive holds it: mantissa · 2^shift / 32767.
double HeldGain(const CMC_Setup* setup, const char* mantissa, double shift) {
  return Internal(setup, mantissa) * std::ldexp(1.0, static_cast<int>(shift)) / kFullScale;
}

// The slots of one place of the filter bank: the places are packed in the order position
// controller output, current reference, measured speed, from slot 1.
std::vector<BiquadStage> FilterSlots(const CMC_Setup* setup, int firstSlot, int count) {
  std::vector<BiquadStage> stages;
  for (int slot = firstSlot; slot < firstSlot + count; ++slot) {
    const std::string prefix = "BQ" + std::to_string(slot);
    const double scale = Internal(setup, prefix + "SF") / kTwoTo31;
    stages.push_back({Internal(setup, prefix + "B0") * scale, Internal(setup, prefix + "B1") * scale,
                      Internal(setup, prefix + "B2") * scale, Internal(setup, prefix + "A1") * scale,
                      Internal(setup, prefix + "A2") * scale});
  }
  return stages;
}

}  // namespace

SpeedLoopModel SpeedLoopModelOf(CMC_Setup* setup) {
  SpeedLoopModel model;
  model.kp = HeldGain(setup, "KPS", Internal(setup, "SFTKPS"));
  model.ki = HeldGain(setup, "KIS", Internal(setup, "SFTKIS"));
  model.kffa = HeldGain(setup, "KFFA", Internal(setup, "SFTAFFW") + Internal(setup, "SFTKFF"));
  // The test program limits the output to the test's current limit, and the integral below it.
  model.outputLimit = std::trunc(Internal(setup, "TestLimitCurrent"));
  model.integralLimit = std::min(kFullScale - Internal(setup, "IMAXS"), model.outputLimit);
  model.plantGain = SpeedLoopPlantGain(setup);

  const int positionSlots = static_cast<int>(Internal(setup, "SPDREF_BQ_INI"));
  const int currentSlots = static_cast<int>(Internal(setup, "IQREF_BQ_INI"));
  const int speedSlots = static_cast<int>(Internal(setup, "ASPD_BQ_INI"));
  model.currentReferenceFilters = FilterSlots(setup, 1 + positionSlots, currentSlots);
  model.measuredSpeedFilters = FilterSlots(setup, 1 + positionSlots + currentSlots, speedSlots);

  model.currentLoop = CurrentLoopModelOf(*setup);
  if (model.currentLoop && model.currentLoop->period_s > 0.0) {
    const double periods = std::round(OuterLoopPeriod(setup) / model.currentLoop->period_s);
    model.currentPeriodsPerSample = std::max(1, static_cast<int>(periods));
  }
  return model;
}

SpeedLoopModel CascadedSpeedLoopModelOf(CMC_Setup* setup) {
  SpeedLoopModel model = SpeedLoopModelOf(setup);
  model.outputLimit = kFullScale - Internal(setup, "SATS");
  model.integralLimit = kFullScale - Internal(setup, "IMAXS");
  return model;
}

std::optional<PositionLoopModel> PositionLoopModelOf(CMC_Setup* setup) {
  const bool dualLoop = ReadCode(setup, "MotorSensorType") != 0 && ReadCode(setup, "LoadSensorType") != 0;
  if (dualLoop) return std::nullopt;
  PositionLoopModel model;
  model.kp = HeldGain(setup, "KPP", Internal(setup, "SFTKPP"));
  model.ki = HeldGain(setup, "KIP", Internal(setup, "SFTKIP"));
  model.kd = HeldGain(setup, "KDP", Internal(setup, "SFTKDP"));
  const CMC_Parameter* filter = FindOptionalParameter(setup, "KDFP");
  const double kdfp = filter != nullptr ? filter->GetValueInInternalUnit() : kFullScale;
  model.derivativeShare = kdfp >= kFullScale ? 1.0 : kdfp / 32768.0;
  model.integralLimit = kFullScale - Internal(setup, "IMAXP");
  model.cascade = ReadCode(setup, "PositionControlType") == 1;
  model.outputLimit = std::trunc(Internal(setup, model.cascade ? "Limit_Speed" : "TestLimitCurrent"));
  if (Bit(Internal(setup, "ACR"), 14) != 0) model.kffs = HeldGain(setup, "KFFS", Internal(setup, "SFTSFFW"));
  model.outputFilters = FilterSlots(setup, 1, static_cast<int>(Internal(setup, "SPDREF_BQ_INI")));
  return model;
}

}  // namespace kestrel
