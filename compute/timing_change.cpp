#include "compute/timing_change.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "compute/derivation.h"
#include "compute/option_readers.h"
#include "compute/options.h"
#include "compute/registers.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"
#include "drivebase/named_table.h"
#include "drivebase/value_types.h"

namespace kestrel {
namespace {

using drivebase::EqualsIgnoringCase;

double Value(const CMC_Setup* setup, std::string_view name) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? parameter->GetValueInBaseUnit() : 0.0;
}

void SetValue(CMC_Setup* setup, std::string_view name, double value) {
  if (CMC_Parameter* parameter = FindOptionalParameter(setup, name)) parameter->SetValueInBaseUnit(value);
}

void DerivePeriods(CMC_Setup* setup) {
  DerivePwmPeriod(setup);
  DeriveLoopPeriod(setup, "Ts_C", "CLPER");
  DeriveLoopPeriod(setup, "Ts_S", "SLPER");
}

// The divider that gives the period closest to `period_s` at the present PWM period.
double DividerFor(const CMC_Setup* setup, double period_s) {
  return std::floor(Value(setup, "DSP_freq") * period_s * 0.5 / Value(setup, "PWMPER") + 0.5);
}

// A new PWM frequency: the dividers are chosen again so that both loops keep their periods. A
// divider of 0 would stop the loop (and make every gain infinite): the fast one is at least 1,
// the slow one at least the fast one; the setup model keeps each within its limits.
void KeepLoopPeriods(CMC_Setup* setup, const LoopTiming& timing) {
  ComputePWMPER(setup);
  ComputeSATPWM(setup);
  DerivePwmPeriod(setup);
  SetValue(setup, "CLPER", std::max(1.0, DividerFor(setup, timing.keptFastPeriod_s)));
  SetValue(setup, "SLPER", std::max(Value(setup, "CLPER"), DividerFor(setup, timing.keptSlowPeriod_s)));
  DerivePeriods(setup);
}

// Power of the slow-loop period in the internal unit of a drive-scaled value of the family
// (internal = seconds / Ts_S, speed * Ts_S, acceleration * Ts_S^2, ...); 0: not time-dependent.
int SlowLoopPower(std::string_view baseUnit) {
  struct Power {
    std::string_view unit;
    int power;
  };
  static constexpr std::array kPowers{
      Power{"s", -1},       Power{"rad/s", 1},   Power{"m/s", 1},   Power{"rad/s^2", 2}, Power{"m/s^2", 2},
      Power{"rad/s^3", 3},  Power{"m/s^3", 3},   Power{"A/s", 1},   Power{"V/s", 1},
  };
  const auto found = std::ranges::find(kPowers, baseUnit, &Power::unit);
  return found != kPowers.end() ? found->power : 0;
}

// The loop periods themselves (which the derivation recomputes) and the values whose scale
// follows the fast loop are not rescaled with the slow loop.
bool FollowsItsOwnPeriod(std::string_view name) {
  for (const std::string_view own : {"Ts_C", "Ts_S", "PWMperiod", "TINCTST"}) {
    if (EqualsIgnoringCase(name, own)) return true;
  }
  return false;
}

// The slow-loop period went from T0 to T1 = T0 / r: every time-dependent value is rescaled by
// r^-power, so that it keeps its meaning in seconds. A value that the setup model cannot take
// (its range) is written again after both layers were brought to agree.
void RescaleTimeDependentValues(CMC_Setup* setup, double r, const ComputeReporter& reporter,
                                std::vector<RescaledValue>& rescaled) {
  for (const auto& parameter : setup->Parameters()) {
    if (!parameter->IsDriveScaled() || drivebase::IsUnitlessType(parameter->GetType())) continue;
    if (FollowsItsOwnPeriod(parameter->GetName())) continue;
    const int power = SlowLoopPower(parameter->GetBaseUnitName());
    if (power == 0) continue;
    const double before = parameter->GetValueInInternalUnit();
    const double wanted = before * std::pow(r, -power);
    parameter->SetValueInInternalUnit(wanted);
    // Rounding by the type is expected; a value the range cut is not.
    if (parameter->GetValueInInternalUnit() != drivebase::StoreAs(parameter->GetType(), wanted)) {
      ComputeAllRegisters(setup, reporter);
      DeriveParametersFromRegisters(setup);
      parameter->SetValueInInternalUnit(wanted);
    }
    rescaled.push_back({parameter->GetName(), before, parameter->GetValueInInternalUnit()});
  }
}

// An I2t time that its range cut keeps the protection's I2t: the current grows as sqrt(t / t').
void KeepI2t(CMC_Setup* setup, const char* time, const char* current, double wantedTime) {
  const double kept = OptionalInternalValue(setup, time);
  if (kept == 0.0 || kept == wantedTime) return;
  SetValue(setup, current, Value(setup, current) * std::sqrt(wantedTime / kept));
}

struct SerialSide {
  const char* sensorType;
  const char* clock;
  bool fastLoop;
};
constexpr SerialSide kMotorSide{"MotorSensorType", "SSI_freq", true};
constexpr SerialSide kLoadSide{"LoadSensorType", "SSI_freq_LD", false};

bool HasSerialEncoder(const CMC_Setup* setup, const SerialSide& side) {
  if (!HasParameter(setup, side.sensorType) || !HasParameter(setup, side.clock)) return false;
  const int type = ReadCode(setup, side.sensorType);
  return type == 5 || type == 6;
}

double ReadWindow(const CMC_Setup* setup, const SerialSide& side) {
  return GetAbsEncoderReadWindow(setup, Value(setup, side.fastLoop ? "Ts_C" : "Ts_S"));
}

bool IsSerialReadImpossible(const CMC_Setup* setup, const SerialSide& side) {
  return HasSerialEncoder(setup, side) && !(ReadWindow(setup, side) > 0.0);
}

// The lowest clock of the drive's list (kHz) at or above `lowest_Hz`; past the list, the next
// multiple of 250 kHz.
double SerialClockAtLeast(const CMC_Setup* setup, int sensorType, double lowest_Hz) {
  const drivebase::ClockList clocks = SerialEncoderClocks(setup, sensorType);
  double chosen = 0.0;
  for (const int kHz : clocks.kHz) {
    const double clock_Hz = kHz * 1000.0;
    if (clock_Hz >= lowest_Hz && (chosen == 0.0 || clock_Hz < chosen)) chosen = clock_Hz;
  }
  return chosen != 0.0 ? chosen : std::ceil(lowest_Hz / 250000.0) * 250000.0;
}

// Raises the side's serial clock when a read no longer fits in its loop at that clock; when no
// clock fits, the clock stays and the loop counts as too short.
void CheckSerialClock(CMC_Setup* setup, const SerialSide& side, std::vector<SerialClockChange>& changes) {
  if (!HasSerialEncoder(setup, side)) return;
  const double before = Value(setup, side.clock);
  const double window = ReadWindow(setup, side);
  if (!(window > 0.0)) {
    changes.push_back({side.clock, SerialClockOutcome::kLoopTooShort, before, before});
    return;
  }
  const double lowest = Value(setup, "AEI_ReadTime1Mhz") * 1000000.0 / window;
  if (lowest <= before) return;
  SetValue(setup, side.clock, SerialClockAtLeast(setup, ReadCode(setup, side.sensorType), lowest));
  ComputeSSIBR(setup);
  ComputeAEI_CLKDIV(setup);
  ComputeAEI_PER(setup);
  ComputeAEI_CMPTIME(setup);
  DeriveSerialClock(setup, side.fastLoop ? EncoderSide::kMotor : EncoderSide::kLoad);
  changes.push_back({side.clock, SerialClockOutcome::kRaised, before, Value(setup, side.clock)});
}

}  // namespace

LoopTiming ReadLoopTiming(const CMC_Setup* setup) {
  const double slow = Value(setup, "Ts_S");
  return {slow, Value(setup, "Ts_C"), slow};
}

bool IsTimingParameter(std::string_view name) {
  return EqualsIgnoringCase(name, "PWM_freq") || EqualsIgnoringCase(name, "CLPER") ||
         EqualsIgnoringCase(name, "SLPER");
}

bool IsFastLoopTooShort(const CMC_Setup* setup) {
  const double minimum = GetFastLoopMinPeriod(setup);
  return (minimum > 0 && minimum > Value(setup, "Ts_C")) || IsSerialReadImpossible(setup, kMotorSide);
}

bool IsSlowLoopTooShort(const CMC_Setup* setup) {
  const double minimum = GetSlowLoopMinPeriod(setup);
  return (minimum > 0 && minimum > Value(setup, "Ts_S")) || IsSerialReadImpossible(setup, kLoadSide);
}

TimingChange ChangeTiming(CMC_Setup* setup, std::string_view changed, LoopTiming& timing,
                          const ComputeReporter& reporter) {
  TimingChange change;
  const bool pwm = EqualsIgnoringCase(changed, "PWM_freq");
  const bool fast = EqualsIgnoringCase(changed, "CLPER");
  if (pwm) KeepLoopPeriods(setup, timing);
  const double slowDivider = Value(setup, "SLPER");
  if (Value(setup, "CLPER") > slowDivider) SetValue(setup, "SLPER", Value(setup, "CLPER"));
  // A divider the user set (or that the fast one pushed up) gives the slow-loop period to keep; a
  // new PWM frequency keeps the one it had.
  const bool slowMoved = !pwm && (EqualsIgnoringCase(changed, "SLPER") || Value(setup, "SLPER") != slowDivider);

  ComputePWMPER(setup);
  ComputeSATPWM(setup);
  DerivePeriods(setup);
  ForceSpeedFeedForward(setup);

  const double t0 = timing.lastSlowPeriod_s;
  const double t1 = Value(setup, "Ts_S");
  if (t0 > 0 && t0 != t1 && t1 > 0) {
    change.ratio = t0 / t1;
    timing.lastSlowPeriod_s = t1;
    const double driveI2t = OptionalInternalValue(setup, "t_I2t_D") * change.ratio;
    const double motorI2t = OptionalInternalValue(setup, "t_I2t_M") * change.ratio;
    RescaleTimeDependentValues(setup, change.ratio, reporter, change.rescaled);
    KeepI2t(setup, "t_I2t_D", "I_I2t_D", driveI2t);
    KeepI2t(setup, "t_I2t_M", "I_I2t_M", motorI2t);
  }
  // After the rescaling: the encoder's read, transfer and compute times are held in slow-loop
  // samples too, and mean their seconds only once rescaled.
  if (pwm || fast) CheckSerialClock(setup, kMotorSide, change.serialClocks);
  CheckSerialClock(setup, kLoadSide, change.serialClocks);
  ComputeAllRegisters(setup, reporter);
  DeriveParametersFromRegisters(setup);

  change.fastLoopTooShort = IsFastLoopTooShort(setup);
  change.slowLoopTooShort = IsSlowLoopTooShort(setup);
  if (fast) timing.keptFastPeriod_s = Value(setup, "Ts_C");
  if (slowMoved) timing.keptSlowPeriod_s = Value(setup, "Ts_S");
  return change;
}

}  // namespace kestrel
