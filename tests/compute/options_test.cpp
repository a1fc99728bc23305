#include "compute/options.h"

#include <gtest/gtest.h>

#include "compute_test_setup.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

using test_support::Put;

// The default setup with the motor sensor on the first input and the load sensor on the second.
CMC_Setup Sensors(int motorSensor, int loadSensor, int transmission) {
  CMC_Setup setup = LoadDefaultSetup();
  Put(setup, {{"LoadSensorConnector", 1}, {"MotorSensorType", motorSensor}, {"LoadSensorType", loadSensor},
              {"TransmissionType", transmission}});
  return setup;
}

struct LoopCase {
  int controlMode, positionControlType;
  const char* position;  // null: no closed loops, ComputeOptions returns 0
  const char* speed;
};

void PrintTo(const LoopCase& c, std::ostream* out) {
  *out << "ControlMode " << c.controlMode << ", PositionControlType " << c.positionControlType;
}

class ClosedLoops : public ::testing::TestWithParam<LoopCase> {};

TEST_P(ClosedLoops, ByControlModeAndStructure) {
  const LoopCase& c = GetParam();
  CMC_Setup setup = LoadDefaultSetup();
  for (const char* option : {"IsClosedPosition", "IsClosedSpeed", "IsClosedCurrent", "MotorPosition",
                             "LoadPosition", "MotorSpeed", "ReferenceName", "MotorType"}) {
    setup.SetOption(option, "before");
  }
  Put(setup, {{"ControlMode", c.controlMode}, {"PositionControlType", c.positionControlType}});
  const int result = ComputeOptions(&setup);
  EXPECT_EQ(setup.GetOptionNoError("IsStepMotor"), "0");
  EXPECT_EQ(setup.GetOptionNoError("isIndex"), "1");
  if (c.position == nullptr) {
    EXPECT_EQ(result, 0);
    for (const char* option : {"IsClosedPosition", "IsClosedSpeed", "IsClosedCurrent", "MotorPosition",
                               "ReferenceName", "MotorType"}) {
      EXPECT_EQ(setup.GetOptionNoError(option), "before") << option;
    }
    return;
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(setup.GetOptionNoError("IsClosedPosition"), c.position);
  EXPECT_EQ(setup.GetOptionNoError("IsClosedSpeed"), c.speed);
  EXPECT_EQ(setup.GetOptionNoError("IsClosedCurrent"), "1");
  EXPECT_EQ(setup.GetOptionNoError("MotorPosition"), "Incremental encoder on Feedback #1");
  EXPECT_EQ(setup.GetOptionNoError("LoadPosition"), "");
  EXPECT_EQ(setup.GetOptionNoError("MotorSpeed"), "");
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), "KSTA");
  EXPECT_EQ(setup.GetOptionNoError("MotorType"), "Brushless, Rotary");
}

INSTANTIATE_TEST_SUITE_P(Table, ClosedLoops,
                         ::testing::Values(LoopCase{0, 0, "1", "0"}, LoopCase{0, 1, "1", "1"},
                                           LoopCase{1, 0, "0", "1"}, LoopCase{1, 7, "0", "1"},
                                           LoopCase{2, 1, "0", "0"}, LoopCase{0, 2, nullptr, nullptr},
                                           LoopCase{3, 1, nullptr, nullptr},
                                           LoopCase{-1, 1, nullptr, nullptr}));

struct ReferenceCase {
  int motorSensor, loadSensor, transmission;
  const char* name;  // null: SetReferenceName fails and leaves the option
};

void PrintTo(const ReferenceCase& c, std::ostream* out) {
  *out << "motor " << c.motorSensor << ", load " << c.loadSensor << ", transmission " << c.transmission;
}

class ReferenceName : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceName, FromTheDecidingSensorAndItsSide) {
  const ReferenceCase& c = GetParam();
  CMC_Setup setup = Sensors(c.motorSensor, c.loadSensor, c.transmission);
  setup.SetOption("ReferenceName", "before");
  EXPECT_EQ(SetReferenceName(&setup), c.name != nullptr ? 1 : 0);
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), c.name != nullptr ? c.name : "before");
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, ReferenceName,
    ::testing::Values(
        // The motor sensor decides with the motor side (rotary for transmissions 0 and 1).
        ReferenceCase{1, 0, 0, "KSTA"}, ReferenceCase{1, 0, 1, "KSTA"}, ReferenceCase{1, 3, 2, "KSTB"},
        ReferenceCase{9, 0, 3, "KSTB"}, ReferenceCase{2, 0, 1, "KSTC"}, ReferenceCase{2, 0, 2, "KSTD"},
        ReferenceCase{3, 0, 0, "KSTE"}, ReferenceCase{3, 1, 3, "KSTB"},
        ReferenceCase{4, 0, 0, nullptr}, ReferenceCase{5, 1, 0, nullptr}, ReferenceCase{6, 0, 3, nullptr},
        // Without a motor sensor the load sensor decides with the load side (rotary for 0 and 2).
        ReferenceCase{0, 1, 2, "KSTA"}, ReferenceCase{0, 1, 1, "KSTB"}, ReferenceCase{0, 9, 0, "KSTA"},
        ReferenceCase{0, 2, 0, "KSTC"}, ReferenceCase{0, 2, 3, "KSTD"}, ReferenceCase{0, 3, 2, "KSTE"},
        ReferenceCase{0, 3, 1, "KSTB"}, ReferenceCase{0, 5, 0, nullptr}, ReferenceCase{0, 0, 0, nullptr}));

TEST(MotorType, RotaryOrLinearByTheMotorSide) {
  for (const auto& [transmission, type] : std::vector<std::pair<int, const char*>>{
           {0, "Brushless, Rotary"}, {1, "Brushless, Rotary"}, {2, "Brushless, Linear"}, {3, "Brushless, Linear"}}) {
    CMC_Setup setup = Sensors(1, 0, transmission);
    EXPECT_EQ(SetMotorTypeOption(&setup), 1);
    EXPECT_EQ(setup.GetOptionNoError("MotorType"), type) << transmission;
  }
}

TEST(ComputeOptions, PositionFeedbackAndSensorPlaces) {
  struct Row {
    int motor, load, result;
    const char *onMotor, *onLoad, *motorPosition, *loadPosition, *motorType;
  };
  for (const Row& r : {
           Row{0, 1, 1, "0", "1", "", "Incremental encoder on Feedback #2", "Brushless, Rotary"},
           // dual loop: the SSI load sensor leaves the reference name, the motor sensor decides it
           Row{3, 5, 1, "1", "0", "Sine/cosine encoder on Feedback #1", "SSI encoder on Feedback #2",
               "Brushless, Rotary"},
           // a resolver decides: no reference name, no motor type
           Row{4, 0, 0, "1", "0", "Resolver on Feedback #1", "", "before"},
           Row{0, 0, 0, "0", "0", "", "", "before"}}) {
    CMC_Setup setup = Sensors(r.motor, r.load, 0);
    setup.SetOption("MotorType", "before");
    EXPECT_EQ(ComputeOptions(&setup), r.result) << r.motor << " " << r.load;
    EXPECT_EQ(setup.GetOptionNoError("isPositionFeedbackOnMotor"), r.onMotor) << r.motor << " " << r.load;
    EXPECT_EQ(setup.GetOptionNoError("isPositionFeedbackOnLoad"), r.onLoad) << r.motor << " " << r.load;
    EXPECT_EQ(setup.GetOptionNoError("MotorPosition"), r.motorPosition) << r.motor << " " << r.load;
    EXPECT_EQ(setup.GetOptionNoError("LoadPosition"), r.loadPosition) << r.motor << " " << r.load;
    EXPECT_EQ(setup.GetOptionNoError("MotorType"), r.motorType) << r.motor << " " << r.load;
  }
}

TEST(ForceSpeedFeedForward, OutsidePositionOverSpeedControl) {
  CMC_Setup setup = LoadDefaultSetup();  // position control over the speed loop
  const double acr = setup.GetParameterValueInBaseUnit("ACR");
  EXPECT_EQ(ForceSpeedFeedForward(&setup), 1);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("ACR"), acr);
  EXPECT_EQ(setup.GetParameterValueInInternalUnit("SpeedForward"), 0.0);

  Put(setup, "ControlMode", 1);
  EXPECT_EQ(ForceSpeedFeedForward(&setup), 1);
  EXPECT_EQ(setup.GetParameterValueInInternalUnit("SpeedForward"), 1.0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("ACR"), 34560.0 + 0x4000);  // 0x8700 | 0x4000

  Put(setup, {{"ControlMode", 0}, {"PositionControlType", 0}});
  setup.SetParameterValueInInternalUnit("SpeedForward", 0);
  EXPECT_EQ(ForceSpeedFeedForward(&setup), 1);
  EXPECT_EQ(setup.GetParameterValueInInternalUnit("SpeedForward"), 1.0);

  setup.RemoveParameter("SpeedForward");
  EXPECT_EQ(ForceSpeedFeedForward(&setup), 0);
}

}  // namespace
}  // namespace kestrel
