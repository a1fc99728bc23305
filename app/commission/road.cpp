// The commissioning road as data. Each step fits the setup exactly when the dialog that opens its
// test shows and enables its button for that setup (Motor Setup's and Drive Setup's rules), so
// that the road never asks for a button a user could not press.
#include "commission/road.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <utility>

#include "compute/setup_access.h"
#include "dialogs/setup_values.h"

namespace kestrel::cli {
namespace {

using dialogs::Code;

// Why a step does not fit the setup; empty when it fits.
using Misfit = std::string (*)(const CMC_Setup& setup);

bool IsOneOf(int code, std::initializer_list<int> codes) { return std::ranges::find(codes, code) != codes.end(); }

std::string SensorName(int type) {
  static constexpr std::array<const char*, 10> kNames{
      "no sensor",           "an incremental encoder",
      "linear Hall sensors", "a sine/cosine encoder",
      "a resolver",          "an SSI encoder",
      "a BiSS encoder",      "a sine/cosine encoder with serial position",
      "an analogue sensor",  "an incremental encoder"};
  return type >= 0 && type < static_cast<int>(kNames.size()) ? kNames[static_cast<std::size_t>(type)]
                                                             : "an unknown sensor";
}

// "the motor sensor is a resolver (MotorSensorType 4)", for a step that needs another sensor.
std::string SensorMisfit(const CMC_Setup& setup, bool load, std::initializer_list<int> types, const char* needs) {
  const char* parameter = load ? "LoadSensorType" : "MotorSensorType";
  const int type = Code(&setup, parameter);
  if (IsOneOf(type, types)) return {};
  return std::string("the ") + (load ? "load" : "motor") + " sensor is " + SensorName(type) + " (" + parameter + " " +
         std::to_string(type) + "), not " + needs;
}

std::string Fits(const CMC_Setup&) { return {}; }

std::string RotaryMotor(const CMC_Setup& setup) {
  if (!IsLinearMotor(&setup)) return {};
  return "the setup's motor is linear (TransmissionType " + std::to_string(Code(&setup, "TransmissionType")) +
         "): its magnetic pole pitch describes it, not a number of pole pairs";
}

std::string LinearMotor(const CMC_Setup& setup) {
  if (IsLinearMotor(&setup)) return {};
  return "the setup's motor is rotary (TransmissionType " + std::to_string(Code(&setup, "TransmissionType")) +
         "): it has a total inertia, not a mass";
}

std::string MotorEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, false, {1, 3, 4, 7, 9}, "a sensor with encoder signals");
}
std::string LoadEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, true, {1, 3, 7, 9}, "an incremental or sine/cosine encoder");
}
std::string MotorSerialEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, false, {5, 6, 7}, "an SSI or BiSS encoder");
}
std::string LoadSerialEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, true, {5, 6, 7}, "an SSI or BiSS encoder");
}
std::string MotorLinearHalls(const CMC_Setup& setup) { return SensorMisfit(setup, false, {2}, "linear Hall sensors"); }
std::string LoadLinearHalls(const CMC_Setup& setup) { return SensorMisfit(setup, true, {2}, "linear Hall sensors"); }
std::string MotorResolver(const CMC_Setup& setup) { return SensorMisfit(setup, false, {4}, "a resolver"); }
// Motor Setup's "Detect Number of Lines" (1189) serves incremental encoders, its "Detect Resolution"
// (3403) sine/cosine encoders.
std::string MotorIncrementalEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, false, {1, 9}, "an incremental encoder");
}
std::string MotorSinCosEncoder(const CMC_Setup& setup) {
  return SensorMisfit(setup, false, {3, 7}, "a sine/cosine encoder");
}

std::string DigitalHalls(const CMC_Setup& setup) {
  if (const std::string misfit = SensorMisfit(setup, false, {0, 1, 9}, "an incremental encoder or none");
      !misfit.empty()) {
    return misfit + ": the Hall sensor tests are not offered";
  }
  if (Code(&setup, "isHallsensors") == 1) return {};
  return "the motor has no Hall sensors (isHallsensors 0)";
}

// The motionless start's angle controller: StartMode 2 with sinusoidal commutation and the angle
// controller in the drive.
std::string MotionlessStart(const CMC_Setup& setup) {
  if (Code(&setup, "StartMode") != 2) {
    return "the start mode is not the motionless start (StartMode " + std::to_string(Code(&setup, "StartMode")) + ")";
  }
  if (Code(&setup, "CommutationMethod") != 1) return "the commutation is trapezoidal (CommutationMethod 0)";
  if (!dialogs::Has(&setup, "KPTHT")) return "the drive has no electric angle controller (no KPTHT)";
  return {};
}

// The speed loop is used in speed control, and in position control over the speed loop.
std::string SpeedLoopUsed(const CMC_Setup& setup) {
  const int mode = Code(&setup, "ControlMode");
  if (mode == 1 || (mode == 0 && Code(&setup, "PositionControlType") == 1)) return {};
  if (mode == 0) return "the position loop acts on the current loop directly (PositionControlType 0): no speed loop";
  return "the drive controls the torque (ControlMode 2): no speed loop";
}

std::string RotaryWithSpeedLoop(const CMC_Setup& setup) {
  if (std::string misfit = SpeedLoopUsed(setup); !misfit.empty()) return misfit;
  if (!IsLinearMotor(&setup)) return {};
  return "the setup's motor is linear (TransmissionType " + std::to_string(Code(&setup, "TransmissionType")) +
         "): its moving mass is identified instead";
}

std::string LinearWithSpeedLoop(const CMC_Setup& setup) {
  if (std::string misfit = SpeedLoopUsed(setup); !misfit.empty()) return misfit;
  return LinearMotor(setup);
}

std::string PositionControl(const CMC_Setup& setup) {
  const int mode = Code(&setup, "ControlMode");
  if (mode == 0) return {};
  return std::string("the drive controls the ") + (mode == 1 ? "speed" : "torque") + " (ControlMode " +
         std::to_string(mode) + "): no position loop";
}

template <Misfit misfit>
bool FitsWhen(const CMC_Setup& setup) {
  return misfit(setup).empty();
}

constexpr std::array kCurrentGains{GainRegisters{"Kp_C_scl", "KPI", "SFTKPI"},
                                   GainRegisters{"Ki_C_scl", "KII", "SFTKII"}};
constexpr std::array kSpeedGains{GainRegisters{"Kp_S_scl", "KPS", "SFTKPS"},
                                 GainRegisters{"Ki_S_scl", "KIS", "SFTKIS"}};
constexpr std::array kPositionGains{GainRegisters{"Kp_P_scl", "KPP", "SFTKPP"},
                                    GainRegisters{"Ki_P_scl", "KIP", "SFTKIP"},
                                    GainRegisters{"Kd_P_scl", "KDP", "SFTKDP"}};
// The motionless start's angle controller, which its test runs and lets the user set.
constexpr std::array kAngleGains{GainRegisters{"Kp_T_scl", "KPTHT", "SFTKPTHT"},
                                 GainRegisters{"Ki_T_scl", "KITHT", "SFTKITHT"}};

constexpr RoadDialog kMotor = RoadDialog::motorSetup;
constexpr RoadDialog kDrive = RoadDialog::driveSetup;

// The road, in the order of the guideline texts; kMisfits[i] says why kRoad[i] does not fit.
// clang-format off
constexpr std::array kRoad{
    RoadStep{"phase", "Motor phase connections", kMotor, 1175, false,
             "the motor's phase wiring: each phase on its drive output, no open or loose wire, equal phase "
             "resistances",
             &FitsWhen<&Fits>, {}},
    RoadStep{"pole-pairs", "Number of pole pairs", kMotor, 1176, false,
             "that the shaft turns freely without load, the phase wiring, and the pole pairs on the motor's data "
             "sheet",
             &FitsWhen<&RotaryMotor>, {}},
    RoadStep{"rl", "Phase resistance and inductance", kMotor, 1177, false,
             "the phase wiring and its connections (a loose or open wire shows as a wrong R) and the test current",
             &FitsWhen<&Fits>, {}},
    RoadStep{"encoder", "Motor encoder connections", kMotor, 1187, false,
             "the motor encoder's A and B signals and its supply at the motor sensor connector",
             &FitsWhen<&MotorEncoder>, {}},
    RoadStep{"ssi-connection", "Motor serial encoder connections", kMotor, 3452, false,
             "the serial encoder's clock and data lines, its supply, and its bits, coding and frequency in the setup",
             &FitsWhen<&MotorSerialEncoder>, {}},
    RoadStep{"linear-hall-signals", "Linear Hall signals", kMotor, 3410, false,
             "the three linear Hall signals and their supply at the motor sensor connector",
             &FitsWhen<&MotorLinearHalls>, {}},
    RoadStep{"encoder-load", "Load encoder connections", kMotor, 1211, false,
             "the load encoder's A and B signals and its supply at the load sensor connector",
             &FitsWhen<&LoadEncoder>, {}},
    RoadStep{"ssi-connection-load", "Load serial encoder connections", kMotor, 3472, false,
             "the load serial encoder's clock and data lines, its supply, and its bits, coding and frequency",
             &FitsWhen<&LoadSerialEncoder>, {}},
    RoadStep{"linear-hall-signals-load", "Load linear Hall signals", kMotor, 3415, false,
             "the three load linear Hall signals and their supply at the load sensor connector",
             &FitsWhen<&LoadLinearHalls>, {}},
    RoadStep{"resolution", "Encoder resolution and counting direction", kMotor, 1189, false,
             "the encoder's A and B channels (counting direction), its lines against the data sheet, and that the "
             "shaft turns during the test",
             &FitsWhen<&MotorIncrementalEncoder>, {}},
    RoadStep{"resolution", "Encoder resolution and counting direction", kMotor, 3403, false,
             "the encoder's sine and cosine channels, its periods against the data sheet, and that the shaft turns "
             "during the test",
             &FitsWhen<&MotorSinCosEncoder>, {}},
    RoadStep{"hall-signals", "Hall sensor signals", kMotor, 1188, false,
             "the Hall connector: the three Hall signals and their supply", &FitsWhen<&DigitalHalls>, {}},
    RoadStep{"hall-config", "Hall configuration", kMotor, 1190, false,
             "the Hall connector and that the shaft turns freely during the test", &FitsWhen<&DigitalHalls>, {}},
    RoadStep{"linear-hall-gains", "Linear Hall gains and offsets", kMotor, 3409, false,
             "the linear Hall signals' amplitude and offset, and the order of the motor phases against the Hall "
             "signals",
             &FitsWhen<&MotorLinearHalls>, {}},
    RoadStep{"linear-hall-gains-load", "Load linear Hall gains and offsets", kMotor, 3414, false,
             "the load linear Hall signals' amplitude and offset", &FitsWhen<&LoadLinearHalls>, {}},
    RoadStep{"ssi-offset", "Serial encoder offset", kMotor, 3451, false,
             "the serial encoder's signals, the pole pairs, and that the shaft is free to align",
             &FitsWhen<&MotorSerialEncoder>, {}},
    RoadStep{"resolver", "Resolver setup", kMotor, 3476, false,
             "the resolver's excitation and its sine and cosine windings at the motor sensor connector",
             &FitsWhen<&MotorResolver>, {}},
    RoadStep{"vdc", "Supply voltage", kDrive, 3171, false,
             "the supply voltage at the drive's power input and the supply's rating", &FitsWhen<&Fits>, {}},
    RoadStep{"current", "Current controller", kDrive, 3137, true,
             "the test current and the current protection level, the phase wiring, and R and L as identified",
             &FitsWhen<&Fits>, kCurrentGains},
    RoadStep{"angle", "Motionless start (electric angle controller)", kDrive, 3264, false,
             "the encoder signals, the angle controller's gains and test current, and that the shaft is free",
             &FitsWhen<&MotionlessStart>, kAngleGains},
    RoadStep{"inertia", "Total inertia", kDrive, 3178, false,
             "that the shaft turns freely, the test current, TestMaxSpeed against what the supply can reach, and the "
             "encoder's counting direction",
             &FitsWhen<&RotaryWithSpeedLoop>, {}},
    RoadStep{"mass", "Total mass", kDrive, 3178, false,
             "that the carriage moves freely over its travel, the test current, TestMaxSpeed against what the "
             "supply can reach, and the encoder's counting direction",
             &FitsWhen<&LinearWithSpeedLoop>, {}},
    RoadStep{"speed", "Speed controller", kDrive, 3178, true,
             "the total inertia or mass, the speed loop's bandwidth, and the control error protection",
             &FitsWhen<&SpeedLoopUsed>, kSpeedGains},
    RoadStep{"position", "Position controller", kDrive, 3198, true,
             "the speed loop's tuning, the position loop's bandwidth, and the control error protection",
             &FitsWhen<&PositionControl>, kPositionGains},
};

constexpr std::array<Misfit, kRoad.size()> kMisfits{
    &Fits, &RotaryMotor, &Fits,
    &MotorEncoder, &MotorSerialEncoder, &MotorLinearHalls,
    &LoadEncoder, &LoadSerialEncoder, &LoadLinearHalls,
    &MotorIncrementalEncoder, &MotorSinCosEncoder,
    &DigitalHalls, &DigitalHalls,
    &MotorLinearHalls, &LoadLinearHalls,
    &MotorSerialEncoder, &MotorResolver,
    &Fits, &Fits, &MotionlessStart,
    &RotaryWithSpeedLoop, &LinearWithSpeedLoop, &SpeedLoopUsed, &PositionControl,
};
// clang-format on

template <std::size_t... I>
constexpr bool MisfitsMatchRoad(std::index_sequence<I...>) {
  return ((kRoad[I].fits == &FitsWhen<kMisfits[I]>) && ...);
}
static_assert(MisfitsMatchRoad(std::make_index_sequence<kRoad.size()>{}), "kMisfits[i] must be kRoad[i]'s condition");

std::string StepNames() {
  std::string names;
  for (const RoadStep& step : kRoad) {
    if (names.find(std::string(step.name) + ",") != std::string::npos) continue;
    names += std::string(step.name) + ", ";
  }
  return names.substr(0, names.size() - 2);
}

// The first step of that name that fits the setup; std::invalid_argument naming the option when
// no step has the name or none of that name fits.
std::size_t FittingStepNamed(const CMC_Setup& setup, std::string_view name, std::string_view option) {
  std::string why;
  for (std::size_t i = 0; i < kRoad.size(); ++i) {
    if (!dialogs::SameName(kRoad[i].name, name)) continue;
    if (kRoad[i].fits(setup)) return i;
    if (why.empty()) why = kMisfits[i](setup);
  }
  const std::string entry = std::string(option) + " " + std::string(name) + ": ";
  if (why.empty()) throw std::invalid_argument(entry + "no step of the road has that name (" + StepNames() + ")");
  throw std::invalid_argument(entry + why);
}

}  // namespace

std::span<const RoadStep> Road() { return kRoad; }

const RoadStep* FindRoadStep(std::string_view name) {
  const auto it =
      std::ranges::find_if(kRoad, [name](const RoadStep& step) { return dialogs::SameName(step.name, name); });
  return it != kRoad.end() ? &*it : nullptr;
}

std::string WhyStepDoesNotFit(const RoadStep& step, const CMC_Setup& setup) {
  const auto index = static_cast<std::size_t>(&step - kRoad.data());
  if (index >= kRoad.size()) throw std::invalid_argument("the step " + std::string(step.name) + " is not on the road");
  return kMisfits[index](setup);
}

std::vector<const RoadStep*> PlanRoad(const CMC_Setup& setup, std::string_view from,
                                      const std::vector<std::string>& only) {
  const std::size_t first = from.empty() ? 0 : FittingStepNamed(setup, from, "--from");
  for (const std::string& name : only) FittingStepNamed(setup, name, "--only");
  std::vector<const RoadStep*> plan;
  for (std::size_t i = first; i < kRoad.size(); ++i) {
    const RoadStep& step = kRoad[i];
    const bool chosen = only.empty() || std::ranges::any_of(only, [&](const std::string& name) {
                          return dialogs::SameName(step.name, name);
                        });
    if (chosen && step.fits(setup)) plan.push_back(&step);
  }
  if (plan.empty()) {
    throw std::invalid_argument("--only: none of the steps named comes at or after --from " + std::string(from) +
                                ": nothing is left to run");
  }
  return plan;
}

std::vector<std::string> SkippedSteps(const CMC_Setup& setup) {
  std::vector<std::string> skipped;
  for (const RoadStep& step : Road()) {
    const bool fitsByAnother = std::ranges::any_of(
        Road(), [&](const RoadStep& other) { return other.name == step.name && other.fits(setup); });
    const bool told = std::ranges::any_of(
        skipped, [&](const std::string& line) { return line.starts_with(std::string(step.name) + ":"); });
    if (fitsByAnother || told) continue;
    skipped.push_back(std::string(step.name) + ": " + WhyStepDoesNotFit(step, setup));
  }
  return skipped;
}

}  // namespace kestrel::cli
