// Drive's injected faults: the motor's phases, the motor sensor's signals, the Hall inputs, the
// linear Hall channels and the programs as the drive holds them.
#include <algorithm>

#include "drive/drive_impl.h"

namespace drivesim {

std::optional<ProgramDescriptor> InstalledProgram(std::string_view name, const Faults& faults) {
  const ProgramDescriptor* program = FindProgram(name);
  if (program == nullptr || faults.program_missing.contains(name)) return std::nullopt;
  ProgramDescriptor installed = *program;
  if (const auto lacks = faults.program_lacks.find(name); lacks != faults.program_lacks.end()) {
    std::erase_if(installed.variables, [&](const ProgramVariable& v) { return lacks->second.contains(v.name); });
  }
  return installed;
}

// A delta winding is simulated as its star equivalent: it has no phase wire to open and no
// phase resistance of its own to change.
Status Drive::InjectFault(std::string_view entry) {
  Scenario changed = impl_->scenario;
  if (Status applied = ApplyFaultEntry(entry, changed); !applied.ok()) return applied;
  const Faults& f = changed.faults;
  const bool phaseFault = f.open_phase || f.phase_resistance_factor != std::array<double, 3>{1.0, 1.0, 1.0};
  if (impl_->motor.connection == PhaseConnection::delta && phaseFault) {
    return {"fault entry \"" + std::string(entry) + "\": phase faults need a star-connected motor"};
  }
  impl_->scenario = std::move(changed);
  impl_->ApplyPlantFaults();
  impl_->SampleSlowChannels();  // the linear Hall channels show the fault at once
  return {};
}

Status Drive::ClearFault(std::string_view name) {
  if (Status cleared = ClearFaultEntry(name, impl_->scenario); !cleared.ok()) return cleared;
  impl_->ApplyPlantFaults();
  impl_->SampleSlowChannels();
  return {};
}

const Faults& Drive::InjectedFaults() const { return impl_->scenario.faults; }

std::optional<ProgramDescriptor> Drive::Program(std::string_view name) const {
  return InstalledProgram(name, impl_->scenario.faults);
}

bool Drive::ProgramValueMissing(std::string_view name) const { return impl_->ProgramSkips(name); }

// The motor file's phases with the faults on top: resistance factors per motor phase, an open
// wire and a phase order given by a fault replace the file's (and a cleared fault gives them back).
void Drive::Impl::ApplyPlantFaults() {
  const Faults& f = scenario.faults;
  const double R = motor.StarResistance_ohm();
  for (std::size_t m = 0; m < 3; ++m) plantParams.resistance_ohm[m] = R * f.phase_resistance_factor[m];
  const std::optional<char> openPhase = f.open_phase ? f.open_phase : motor.open_phase;
  plantParams.openLeg = openPhase ? *openPhase - 'A' : -1;
  const std::array<char, 3> order = f.phase_order.value_or(motor.phase_order);
  for (std::size_t leg = 0; leg < 3; ++leg) plantParams.motorPhaseOfLeg[leg] = order[leg] - 'A';
}

bool Drive::Impl::ProgramSkips(std::string_view name) const {
  const auto skips = scenario.faults.program_skips.find(loadedName);
  return skips != scenario.faults.program_skips.end() && skips->second.contains(name);
}

// An unconnected Hall input reads 1 (pull-up); input 1 is the value-4 bit.
int Drive::Impl::HallInputs() const {
  const int code = motor.halls ? hallCode : 7;
  const std::optional<int> missing = scenario.faults.hall_missing;
  return missing ? code | (4 >> (*missing - 1)) : code;
}

void Drive::Impl::ApplyLinearHallFaults(std::array<double, 3>& volts) const {
  const Faults& f = scenario.faults;
  if (f.lh_missing) volts[static_cast<std::size_t>(*f.lh_missing - 'A')] = 0.0;
  if (f.lh_stuck) volts[static_cast<std::size_t>(f.lh_stuck->channel - 'A')] = f.lh_stuck->volts;
}

// A dead motor sensor leaves its input's counter and capture as they were (the reading itself
// moves on, so the counter resumes from there when the signals come back); without an index
// pulse only the capture stays.
void Drive::Impl::KeepFaultyMotorSensor(const sensors::EncoderState& before, sensors::EncoderState& now) const {
  const Faults& f = scenario.faults;
  if (f.encoder_dead) now.counter = before.counter;
  if (f.encoder_dead || f.no_index) {
    now.capture = before.capture;
    now.captureArmed = before.captureArmed;
  }
}

}  // namespace drivesim
