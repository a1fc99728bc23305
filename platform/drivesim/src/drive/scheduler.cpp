// The drive's tick on the PWM grid. At tick n, in this order: the slow ISR when n mod SLPER = 0
// (the program's slow step), then the fast ISR when n mod CLPER = 0 (compare registers reloaded
// with the duties computed one control period earlier, ADC samples, the program's fast step,
// protections, logger), the scope on its grid; then the power stage and the motor advance over
// the PWM periods up to the next ISR tick in one step (nothing the drive commands changes in
// between).
#include <algorithm>
#include <cmath>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {

// A tick's phase in a loop period of `period` ticks, `n` ticks later: without a division in the
// usual case of a step that reaches at most the next period.
std::int64_t AdvancePhase(std::int64_t phase, std::int64_t n, std::int64_t period) {
  phase += n;
  if (phase < period) return phase;
  phase -= period;
  return phase < period ? phase : phase % period;
}

}  // namespace

// The ISRs have nothing to do: no switching, no program, no scope, no hand, a potentiometer whose
// last position has been sampled and a bus that holds still.
bool Drive::Impl::IsrsQuiet() const {
  return !stage.driven && !program && !scope.Running() && !hand.engaged && potentiometer.SettledBy(slowSampled_s) &&
         BusSettled();
}

// Nothing moves: quiet ISRs, no current, a rotor that its load leaves at rest and settled
// resolver converters.
bool Drive::Impl::Idle() const {
  return IsrsQuiet() && plant.current_A == std::array<double, 3>{0.0, 0.0, 0.0} &&
         model::RestHolds(plantParams, plant) && !ConvertersTracking();
}

void Drive::Impl::RunUntil(double t_s) {
  // The period worked out once: the loop below tests TimeOf(tick) ≤ t_s with it.
  const double pwm_s = timing.pwm_s();
  // The last tick whose period starts at or before t_s.
  const auto lastStart = static_cast<std::int64_t>(std::floor((t_s - timing.base_s) / pwm_s));
  // Phases of the tick in the two loop periods; the next ISR tick follows from them.
  std::int64_t slowPhase = tick % timing.speedLoopTicks;
  std::int64_t fastPhase = tick % timing.currentLoopTicks;
  while (timing.base_s + static_cast<double>(tick) * pwm_s <= t_s) {
    const auto last = std::max(tick, lastStart);
    if (Idle()) {
      // Nothing moves until the next external action: jump past the last tick.
      SuperviseIdle(tick, last + 1);
      tick = last + 1;
      return;
    }
    RunIsrs(slowPhase == 0, fastPhase == 0);
    const std::int64_t nextIsr = tick + std::min(timing.speedLoopTicks - slowPhase, timing.currentLoopTicks - fastPhase);
    const std::int64_t end = std::min(NextStepEnd(nextIsr), last + 1);
    StepPowerStageAndMotor(static_cast<int>(end - tick));
    // A coasting step passes ISR ticks by: the protections still watch over them.
    if (end - tick > std::min(timing.currentLoopTicks, timing.speedLoopTicks)) SuperviseIdle(tick + 1, end);
    slowPhase = AdvancePhase(slowPhase, end - tick, timing.speedLoopTicks);
    fastPhase = AdvancePhase(fastPhase, end - tick, timing.currentLoopTicks);
    tick = end;
  }
}

// With quiet ISRs a coasting rotor advances in steps of 1 ms, as long as it is too slow to charge
// the bus through the diodes. Otherwise the plant steps to the next ISR tick.
std::int64_t Drive::Impl::NextStepEnd(std::int64_t nextIsr) const {
  if (!IsrsQuiet() || model::DiodesMayConduct(plantParams, plant, stage.bus_V)) return nextIsr;
  const auto coastTicks = static_cast<std::int64_t>(std::max(1.0, std::floor(1e-3 / timing.pwm_s())));
  return std::max(nextIsr, tick + coastTicks);
}

void Drive::Impl::RunIsrs(bool slow, bool fast) {
  if (slow) {
    SampleSlowChannels();
    CheckSlowProtections();
    if (servo && !OuterLoopsInFastIsr()) ServoOuterStep();
    CheckMotionProtections();
  }
  if (slow && program) {
    program->SlowStep(*this);
    SampleLogger(true);
  }
  if (slow) SampleScope(true);
  if (fast) FastIsr();
  if (program && program->Ended()) program.reset();
}

void Drive::Impl::FastIsr() {
  if (stage.driven) {
    stage.duty = pendingDuty;
    legOpen = pendingLegOpen;
  }
  SampleCurrents();
  ServoCurrentStep();
  if (program) program->FastStep(*this);
  CheckHallMissing();
  if (stage.driven && !enableActive) {
    SwitchAxisOff();
    EndProgramOnFault();
  }
  const control::TwoAxis frame = MeasuredCurrent(servo ? commutation.angle16 : driveVariables[drive::DriveVar::THTST]);
  driveVariables[drive::DriveVar::ID] = frame.x;
  driveVariables[drive::DriveVar::IQ] = frame.y;
  driveVariables[drive::DriveVar::Motor_Current] = frame.y;
  SampleLogger(false);
  SampleScope(false);
}

void Drive::Impl::SampleScope(bool slow) {
  if (!scope.Running()) return;
  scope.Sample(slow, timing.TimeOf(tick), [this](std::string_view n) { return Read(n).value_or(0); }, unsolicited);
}

// The current ADCs are read while the power stage switches; with the axis off the drive does not
// sample them (so the noise sequence does not depend on how long the drive idled).
void Drive::Impl::SampleCurrents() {
  measuredCache.valid = false;
  if (!stage.driven) {
    phaseCurrentCounts = {0, 0};
    return;
  }
  for (std::size_t x = 0; x < 2; ++x) {
    const double current_A = model::LegCurrent(plantParams, plant, static_cast<int>(x));
    phaseCurrentCounts[x] = currentAdc[x].Sample(current_A, noise) - adcCalibration[x];
  }
}

void Drive::Impl::EndProgramOnFault() {
  if (program) program.reset();
}

void Drive::Impl::StepPowerStageAndMotor(int periods) {
  const std::array<double, 3> legCurrent_A = model::LegCurrents(plantParams, plant);
  const bool stiffBus = busParams.Stiff();
  if (stiffBus) model::UpdateBus(stageParams, stage, legCurrent_A);
  model::PlantInputs inputs;
  inputs.bus_V = stage.bus_V;
  inputs.locked = scenario.rotor_locked;
  if (stage.driven) {
    inputs.legVoltage_V = model::LegVoltages(stageParams, stage, legCurrent_A, plantParams.inductance_H, periods);
    inputs.legDriven = {!legOpen[0], !legOpen[1], !legOpen[2]};
  }
  const double previous = plant.position;
  const model::ExternalTorque handTorque = hand.engaged ? hand.At(timing.TimeOf(tick)) : model::ExternalTorque{};
  // The inverter's DC current at the start of the step charges the capacitor over it.
  const double dcCurrent_A = stiffBus ? 0.0 : model::InverterDcCurrent(stage.duty, inputs.legDriven, legCurrent_A);
  const double h_s = periods * stageParams.pwmPeriod_s;
  model::StepPlant(plantParams, plant, inputs, handTorque, h_s);
  if (!stiffBus) ChargeBus(dcCurrent_A, h_s);
  // A resolver's converter goes on tracking after the shaft has stopped, until it has settled.
  if (plant.position != previous || ConvertersTracking()) {
    UpdateFeedbackInputs(previous, h_s);
    if (motor.halls) hallCode = sensors::UpdateHalls(*motor.halls, hallState, plant.ElectricalAngle(plantParams));
  }
  if (stage.driven) CheckShortCircuit(inputs.legVoltage_V);
}

// The hardware comparator on every leg: |i_leg| > I_sc latches 0x0002 and opens all legs. A
// short between two outputs (or to a rail) carries (v_x − v_y)/R_sc on top of the motor current.
void Drive::Impl::CheckShortCircuit(const std::array<double, 3>& legVoltage_V) {
  std::array<double, 3> legCurrent_A = plant.current_A;  // leg order does not matter for the comparator
  if (plantParams.openLeg >= 0 || scenario.short_circuit) {
    legCurrent_A = model::LegCurrents(plantParams, plant);
  }
  if (const auto& fault = scenario.short_circuit) {
    const auto from = static_cast<std::size_t>(fault->from - 'A');
    double other_V = 0.0;
    if (fault->to == '+') {
      other_V = stage.bus_V;
    } else if (fault->to != '-') {
      other_V = legVoltage_V[static_cast<std::size_t>(fault->to - 'A')];
    }
    const double shortCurrent_A = (legVoltage_V[from] - other_V) / fault->resistance_ohm;
    legCurrent_A[from] += shortCurrent_A;
    if (fault->to != '+' && fault->to != '-') legCurrent_A[static_cast<std::size_t>(fault->to - 'A')] -= shortCurrent_A;
  }
  for (double current_A : legCurrent_A) {
    if (std::abs(current_A) <= hardware.short_circuit_A) continue;
    latchedErrors |= mer::kShortCircuit;
    SwitchAxisOff();
    EndProgramOnFault();
    return;
  }
}

}  // namespace drivesim
