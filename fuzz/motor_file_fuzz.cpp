// Fuzzes the motor-file loader with arbitrary text. Each input must either be rejected with
// MotorFileError, whose message starts with the file name, or give a motor whose quantities
// the model can use (finite and positive where the physics needs it); an accepted motor then
// drives a simulated drive for a few milliseconds without tripping the sanitizers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drivesim/drive.h"
#include "drivesim/motor_model.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "motor_file_fuzz: %s\n", what.c_str());
  std::abort();
}

void CheckPositive(double value, const char* what) {
  if (!(value > 0.0) || !std::isfinite(value)) Fail(std::string(what) + " accepted as " + std::to_string(value));
}

void CheckUsable(const drivesim::MotorModel& m) {
  CheckPositive(m.resistance_ohm, "resistance");
  CheckPositive(m.inductance_H, "inductance");
  CheckPositive(m.torque_constant, "torque constant");
  CheckPositive(m.rotor_inertia, "inertia");
  CheckPositive(m.supply_voltage_V, "supply voltage");
  if (m.kind == drivesim::MotorKind::rotary && m.pole_pairs < 1) Fail("pole pairs below 1 accepted");
  if (m.kind == drivesim::MotorKind::linear) CheckPositive(m.pole_pitch_m, "pole pitch");
  if (m.coulomb_friction < 0.0 || m.viscous_friction < 0.0) Fail("negative friction accepted");
  if (!(m.motor_displacement != 0.0) || !(m.load_displacement != 0.0)) Fail("zero transmission accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  drivesim::MotorModel motor;
  try {
    motor = drivesim::ParseMotorFile(text, "fuzz.json");
  } catch (const drivesim::MotorFileError& e) {
    if (std::string_view(e.what()).rfind("fuzz.json", 0) != 0) Fail(std::string("error without the file: ") + e.what());
    return 0;
  }
  CheckUsable(motor);
  drivesim::Drive drive(drivesim::DriveHardware{}, motor);
  if (!drive.LoadRegisters({{"PWMPER", 1000}, {"CLPER", 2}, {"SLPER", 20}, {"SATPWM", 2621}, {"REFTST", 2979},
                            {"RINCTST", 30}}).ok()) {
    Fail("reference registers rejected");
  }
  drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}});
  drive.RunUntil(0.005);
  return 0;
}
