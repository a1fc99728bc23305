// The scripted user's inputs and environment: digital input levels, the potentiometer's ramp, the
// hand's coupling and the mark on the shaft, the supply, the load, friction and the temperature.
// Every change acts at the drive's present time; a rejected value changes nothing.
#include <cmath>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {
constexpr std::array<int, 3> kActiveLevelBit{15, 13, 14};  // DIGIN_ACTIVE_LEVEL bits of ENABLE, LSP, LSN
}

void Drive::Impl::ApplyInputLevels() {
  const std::int32_t activeLevels = Register("DIGIN_ACTIVE_LEVEL", 0);
  const std::array<bool*, 3> active{&enableActive, &positiveLimit, &negativeLimit};
  for (std::size_t x = 0; x < 3; ++x) {
    if (inputLevel[x]) *active[x] = *inputLevel[x] == (((activeLevels >> kActiveLevelBit[x]) & 1) != 0);
  }
}

void Drive::SetDigitalInputLevel(DigitalInput input, bool high) {
  impl_->inputLevel[static_cast<std::size_t>(input)] = high;
  impl_->ApplyInputLevels();
}

Status Drive::RampAnalogInput_V(double from_V, double to_V, double duration_s) {
  for (double volts : {from_V, to_V}) {
    if (std::string problem = AnalogInputProblem(volts, duration_s); !problem.empty()) return {problem};
  }
  impl_->potentiometer = {from_V, to_V, Now_s(), duration_s};
  impl_->SampleSlowChannels();
  return {};
}

Status Drive::SetHandCoupling(double stiffness, double damping) {
  if (std::string problem = HandCouplingProblem(stiffness, damping); !problem.empty()) return {problem};
  impl_->hand.SetCoupling(stiffness, damping);
  return {};
}

void Drive::MarkShaft() { impl_->shaftMark = impl_->plant.position; }
double Drive::ShaftTurnedSinceMark() const { return impl_->plant.position - impl_->shaftMark; }

// A stiff bus follows the new supply at once (with the present DC current through R_s); a bus
// capacitor charges towards it over the following steps.
Status Drive::SetSupply_V(double volts) {
  if (std::string problem = SupplyProblem(volts); !problem.empty()) return {problem};
  Impl& d = *impl_;
  d.motor.supply_voltage_V = volts;
  d.stageParams.supply_V = volts;
  if (d.busParams.Stiff()) model::UpdateBus(d.stageParams, d.stage, model::LegCurrents(d.plantParams, d.plant));
  d.SampleSlowChannels();
  return {};
}

Status Drive::SetLoadTorque(double torque) {
  if (std::string problem = LoadProblem(torque); !problem.empty()) return {problem};
  impl_->motor.load_constant_torque = torque;
  impl_->plantParams.load = torque / impl_->plantParams.ratio;
  return {};
}

Status Drive::SetLoadGravity(double torque) {
  if (std::string problem = LoadProblem(torque); !problem.empty()) return {problem};
  impl_->plantParams.gravity = torque;
  return {};
}

Status Drive::SetFriction(double coulomb, std::optional<double> breakaway) {
  if (std::string problem = FrictionProblem(coulomb, breakaway); !problem.empty()) return {problem};
  impl_->motor.coulomb_friction = coulomb;
  impl_->plantParams.coulomb = coulomb;
  impl_->plantParams.breakaway = breakaway.value_or(coulomb);
  return {};
}

Status Drive::SetMotorTemperature_C(double celsius) {
  if (std::string problem = TemperatureProblem(celsius); !problem.empty()) return {problem};
  impl_->scenario.motor_temperature_C = celsius;
  return {};
}

Status Drive::SetDriveTemperature_C(double celsius) {
  if (std::string problem = TemperatureProblem(celsius); !problem.empty()) return {problem};
  impl_->scenario.drive_temperature_C = celsius;
  return {};
}

double Drive::MotorTemperature_C() const { return impl_->scenario.motor_temperature_C; }

}  // namespace drivesim
