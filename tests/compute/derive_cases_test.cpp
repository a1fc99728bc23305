// Parameters derived from registers, worked by hand and read from the case files in cases/: each
// case runs its steps on the default setup as the host holds it. A step sets values (their limits
// opened), removes parameters or variables, sets options or narrows a limit, runs one derivation
// routine, checks what it returned and compares the values and limits it expects; each case
// explains its working in "why".
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute/derivation.h"
#include "compute/parameter_limits.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using nlohmann::json;
using Routine = std::function<int(CMC_Setup*, const std::vector<std::string>&)>;

template <int (*F)(CMC_Setup*)>
int Plain(CMC_Setup* setup, const std::vector<std::string>&) {
  return F(setup);
}

// A routine of one encoder side, named "motor" or "load" in the case.
template <int (*F)(CMC_Setup*, EncoderSide)>
int OfSide(CMC_Setup* setup, const std::vector<std::string>& args) {
  return F(setup, args.at(0) == "load" ? EncoderSide::kLoad : EncoderSide::kMotor);
}

const std::map<std::string, Routine>& Routines() {
  using A = const std::vector<std::string>&;
  static const std::map<std::string, Routine> routines = {
      {"ScaledGain", [](CMC_Setup* s, A a) { return DeriveScaledGain(s, a[0].c_str(), a[1].c_str(), a[2].c_str()); }},
      {"IntegralLimit", [](CMC_Setup* s, A a) { return DeriveIntegralLimit(s, a[0].c_str(), a[1].c_str(), a[2].c_str()); }},
      {"ProtectionCurrent", [](CMC_Setup* s, A a) { return DeriveProtectionCurrent(s, a[0].c_str(), std::stod(a[1])); }},
      {"SampleTime", [](CMC_Setup* s, A a) { return DeriveSampleTime(s, a[0].c_str(), a[1].c_str()); }},
      {"I2tCurrent", [](CMC_Setup* s, A a) {
         return DeriveI2tCurrent(s, a[0].c_str(), a[1].c_str(), a[2].c_str(), std::stod(a[3]), a[4].c_str());
       }},
      {"I2tTime", [](CMC_Setup* s, A a) { return DeriveI2tTime(s, a[0].c_str(), a[1].c_str(), a[2] == "Ts_S"); }},
      {"SoftwareLimit", [](CMC_Setup* s, A a) { return DeriveSoftwareLimit(s, a[0].c_str(), a[1] == "positive"); }},
      {"ReferenceBottom", [](CMC_Setup* s, A a) { return DeriveReferenceBottom(s, a[0].c_str(), &LimitPositionReferenceRange); }},
      {"ReferenceTop", [](CMC_Setup* s, A a) { return DeriveReferenceTop(s, a[0].c_str(), &LimitPositionReferenceRange); }},
      {"LoopPeriod", [](CMC_Setup* s, A a) { return DeriveLoopPeriod(s, a[0].c_str(), a[1].c_str()); }},
      {"ProtectionVoltage", [](CMC_Setup* s, A a) { return DeriveProtectionVoltage(s, a[0].c_str(), a[1].c_str()); }},
      {"StartCurrent", [](CMC_Setup* s, A a) { return DeriveStartCurrent(s, a[0].c_str()); }},
      {"LoadRatio", [](CMC_Setup* s, A a) { return DeriveLoadRatio(s, a[0].c_str(), a[1].c_str(), a[2].c_str()); }},
      {"BrakeDelay", [](CMC_Setup* s, A a) { return DeriveBrakeDelay(s, a[0].c_str(), a[1].c_str()); }},
      {"ExternalReference", Plain<DeriveExternalReference>}, {"SpeedEstimator", Plain<DeriveSpeedEstimator>},
      {"MotorOverTemperature", Plain<DeriveMotorOverTemperature>},
      {"AnalogueReferenceChoice", Plain<DeriveAnalogueReferenceChoice>}, {"FreezeControl", Plain<DeriveFreezeControl>},
      {"ControlMode", Plain<DeriveControlMode>}, {"StartMode", Plain<DeriveStartMode>},
      {"PwmFrequency", Plain<DerivePwmFrequency>}, {"PwmPeriod", Plain<DerivePwmPeriod>},
      {"PolePairs", Plain<DerivePolePairs>}, {"EncoderLines", Plain<DeriveEncoderLines>},
      {"AxisId", Plain<DeriveAxisId>}, {"BrakeVoltage", Plain<DeriveBrakeVoltage>},
      {"DriveTemperatureLimit", Plain<DeriveDriveTemperatureLimit>}, {"AlignmentTime", Plain<DeriveAlignmentTime>},
      {"RiseTime", Plain<DeriveRiseTime>}, {"MotorBrake", Plain<DeriveMotorBrake>},
      {"MotorBrakeOutput", Plain<DeriveMotorBrakeOutput>}, {"FastLoopControl", Plain<DeriveFastLoopControl>},
      {"MultiTurn", OfSide<DeriveMultiTurn>}, {"RevolutionBits", OfSide<DeriveRevolutionBits>},
      {"TurnBits", OfSide<DeriveTurnBits>}, {"GrayCode", OfSide<DeriveGrayCode>},
      {"ReverseSerial", OfSide<DeriveReverseSerial>}, {"SerialClock", OfSide<DeriveSerialClock>},
      {"MotorSensorType", Plain<DeriveMotorSensorType>}, {"LoadSensorType", Plain<DeriveLoadSensorType>},
      {"MotorSensorConnector", Plain<DeriveMotorSensorConnector>},
      {"LoadSensorConnector", Plain<DeriveLoadSensorConnector>},
      {"ReverseCountingMotor", Plain<DeriveReverseCountingMotor>},
      {"ReverseCountingLoad", Plain<DeriveReverseCountingLoad>},
      {"EncoderFilterMotor", Plain<DeriveEncoderFilterMotor>}, {"EncoderFilterLoad", Plain<DeriveEncoderFilterLoad>},
      {"LinearHallResolution", Plain<DeriveLinearHallResolution>},
      {"LinearHallResolutionLoad", Plain<DeriveLinearHallResolutionLoad>},
      {"SerialEncoderOffset", Plain<DeriveSerialEncoderOffset>},
      {"AccelerationFeedForward", Plain<DeriveAccelerationFeedForward>},
      {"DerivativeFilter", Plain<DeriveDerivativeFilter>}, {"CurrentLimit", Plain<DeriveCurrentLimit>},
      {"TestLimitCurrent", Plain<DeriveTestLimitCurrent>}, {"TestCurrent", Plain<DeriveTestCurrent>},
      {"OffsetCurrent", Plain<DeriveOffsetCurrent>}, {"CurrentFilter", Plain<DeriveCurrentFilter>},
      {"SpeedLimit", Plain<DeriveSpeedLimit>}, {"TestMaxSpeed", Plain<DeriveTestMaxSpeed>},
      {"PositionError", Plain<DerivePositionError>}, {"SpeedError", Plain<DeriveSpeedError>},
      {"ReferenceSpeed", Plain<DeriveReferenceSpeed>}, {"ReferenceAcceleration", Plain<DeriveReferenceAcceleration>},
      {"FreezeControlBand", Plain<DeriveFreezeControlBand>}, {"FreezeControlTime", Plain<DeriveFreezeControlTime>},
      {"DeadBandPoint", Plain<DeriveDeadBandPoint>}, {"DeadBandRange", Plain<DeriveDeadBandRange>},
      {"ReferenceFilter", Plain<DeriveReferenceFilter>},
      {"CurrentReferenceBottom", Plain<DeriveCurrentReferenceBottom>},
  };
  return routines;
}

struct DeriveCase {
  std::string name;
  json data;
};
void PrintTo(const DeriveCase& c, std::ostream* out) { *out << c.name; }

std::vector<DeriveCase> Cases(const char* file) {
  const json cases = test_support::ReadCaseFile(file);
  std::vector<DeriveCase> result;
  for (const json& c : cases.at("cases")) result.push_back({c.at("name"), c});
  return result;
}

class DerivedFromRegisters : public test_support::ScaledDefaultSetup,
                             public ::testing::WithParamInterface<DeriveCase> {
 protected:
  // Compares one expected quantity: exactly as worked, or within "tol" where the working says so.
  void Compare(const std::string& what, double actual, double expected, double tol) {
    if (tol > 0) EXPECT_NEAR(actual, expected, tol) << what;
    else EXPECT_DOUBLE_EQ(actual, expected) << what;
  }
  // A field of a step, empty when the step has none.
  static const json& Field(const json& step, const char* key) {
    static const json kNone = json::object();
    return step.contains(key) ? step.at(key) : kNone;
  }
  void RunStep(const json& step) {
    for (const auto& [name, value] : Field(step, "set").items()) Set(name, value.get<double>());
    for (const auto& name : Field(step, "remove")) setup.RemoveParameter(name.get<std::string>());
    for (const auto& name : Field(step, "remove_variable")) setup.RemoveVariable(name.get<std::string>());
    for (const auto& [name, value] : Field(step, "options").items()) setup.SetOption(name, value.get<std::string>());
    for (const auto& [name, max] : Field(step, "set_max").items()) P(name)->SetMaxInBaseUnit(max.get<double>());
    const std::string routine = step.at("derive");
    ASSERT_EQ(Routines().count(routine), 1u) << routine;
    const std::vector<std::string> args = step.value("args", std::vector<std::string>{});
    ASSERT_EQ(Routines().at(routine)(&setup, args), step.value("returns", 1)) << routine;
    for (const auto& [name, e] : Field(step, "expect").items()) {
      const double tol = e.value("tol", 0.0);
      if (e.contains("value")) Compare(name + " value", Value(name), e.at("value"), tol);
      if (e.contains("internal")) Compare(name + " internal", Internal(name), e.at("internal"), tol);
      if (e.contains("min")) Compare(name + " min", Min(name), e.at("min"), tol);
      if (e.contains("max")) Compare(name + " max", Max(name), e.at("max"), tol);
    }
  }
};

TEST_P(DerivedFromRegisters, AsWorkedByHand) {
  const json& c = GetParam().data;
  SCOPED_TRACE(c.value("why", ""));
  for (const json& step : c.at("steps")) {
    SCOPED_TRACE(step.value("why", ""));
    RunStep(step);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Currents, DerivedFromRegisters, ::testing::ValuesIn(Cases("derive_currents.json")));
INSTANTIATE_TEST_SUITE_P(Drive, DerivedFromRegisters, ::testing::ValuesIn(Cases("derive_drive.json")));
INSTANTIATE_TEST_SUITE_P(Sensors, DerivedFromRegisters, ::testing::ValuesIn(Cases("derive_sensors.json")));
INSTANTIATE_TEST_SUITE_P(Motion, DerivedFromRegisters, ::testing::ValuesIn(Cases("derive_motion.json")));

}  // namespace
}  // namespace kestrel
