// Motor and drive files: the shipped files load, and every kind of bad file is rejected with an
// error that names the file, the key and what is wrong.
#include <gtest/gtest.h>

#include <filesystem>

#include "drivesim/hardware.h"
#include "drivesim/motor_model.h"

namespace drivesim {
namespace {

const char* const kGood = R"({ "kestrel_motor": 1, "name": "reference",
  "motor": { "kind": "rotary", "pole_pairs": 4, "resistance_ohm": 0.9, "inductance_H": 0.0012,
    "torque_constant_Nm_per_A": 0.12, "inertia_kgm2": 3.3e-5 },
  "motor_sensor": { "type": "incremental", "lines": 2000 } })";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at == std::string::npos) throw std::logic_error("pattern not in the file: " + from);
  return text.replace(at, from.size(), to);
}

struct BadMotorCase {
  const char* name;
  std::string text;
  const char* key;
  const char* problem;
};

class BadMotorFile : public ::testing::TestWithParam<BadMotorCase> {};

TEST_P(BadMotorFile, IsRejectedNamingFileKeyAndFault) {
  const BadMotorCase& c = GetParam();
  try {
    ParseMotorFile(c.text, "motors/bad.json");
    FAIL() << "accepted";
  } catch (const MotorFileError& e) {
    EXPECT_EQ(e.File(), "motors/bad.json");
    EXPECT_EQ(e.Key(), c.key);
    EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).rfind("motors/bad.json: ", 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadMotorFile,
    ::testing::Values(
        BadMotorCase{"UnknownKey", Replace(kGood, "\"pole_pairs\"", "\"pole_pears\": 4, \"pole_pairs\""),
                     "motor.pole_pears", "unknown key"},
        BadMotorCase{"KeyOfTheOtherKind", Replace(kGood, "\"pole_pairs\"", "\"mass_kg\": 1, \"pole_pairs\""),
                     "motor.mass_kg", "unknown key"},
        BadMotorCase{"KeyOfAnotherSensor", Replace(kGood, "\"lines\": 2000", "\"lines\": 2000, \"gray\": true"),
                     "motor_sensor.gray", "unknown key"},
        BadMotorCase{"MissingRequiredKey", Replace(kGood, "\"inductance_H\": 0.0012,", ""), "motor.inductance_H",
                     "missing required key"},
        BadMotorCase{"MissingVersion", Replace(kGood, "\"kestrel_motor\": 1,", ""), "kestrel_motor",
                     "missing required key"},
        BadMotorCase{"WrongType", Replace(kGood, "\"resistance_ohm\": 0.9", "\"resistance_ohm\": \"0.9\""),
                     "motor.resistance_ohm", "must be a number"},
        BadMotorCase{"NegativeResistance", Replace(kGood, "\"resistance_ohm\": 0.9", "\"resistance_ohm\": -0.9"),
                     "motor.resistance_ohm", "must not be negative"},
        BadMotorCase{"ZeroInertia", Replace(kGood, "\"inertia_kgm2\": 3.3e-5", "\"inertia_kgm2\": 0"),
                     "motor.inertia_kgm2", "must not be zero"},
        BadMotorCase{"FractionalPolePairs", Replace(kGood, "\"pole_pairs\": 4", "\"pole_pairs\": 4.5"),
                     "motor.pole_pairs", "whole number"},
        BadMotorCase{"UnknownSensorType", Replace(kGood, "\"incremental\"", "\"optical\""), "motor_sensor.type",
                     "not one of"},
        BadMotorCase{"PhaseOrderNotAPermutation",
                     Replace(kGood, "\"inertia_kgm2\": 3.3e-5", "\"inertia_kgm2\": 3.3e-5, \"phase_order\": \"AAB\""),
                     "motor.phase_order", "permutation"},
        BadMotorCase{"NotJson", "{ \"kestrel_motor\": 1, ", "", "not valid JSON"},
        BadMotorCase{"HallOrderTwice",
                     Replace(kGood, "\"motor_sensor\"", "\"halls\": { \"order\": [1, 1, 3] }, \"motor_sensor\""),
                     "halls.order", "each of the sensors"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(MotorFile, EveryShippedMotorLoadsAndTheBuiltInMotorIsTheDefaultFile) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KESTREL_MOTORS_DIR)) {
    EXPECT_NO_THROW(LoadMotorFile(entry.path().string())) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 9);
  const MotorModel builtIn = DefaultMotor();
  EXPECT_EQ(builtIn.pole_pairs, 4);
  EXPECT_DOUBLE_EQ(builtIn.TotalInertia(), 6.6e-5);  // Jt of the default setup
  EXPECT_TRUE(builtIn.halls.has_value());
  EXPECT_EQ(builtIn.motor_sensor.lines, 2000);
  try {
    LoadMotorFile("/no/such/motor.json");
    FAIL();
  } catch (const MotorFileError& e) {
    EXPECT_EQ(e.File(), "/no/such/motor.json");
  }
}

TEST(DriveFile, DefaultsAreTheReferenceDriveAndUnknownKeysAreRejected) {
  const DriveHardware hw = ParseDriveFile(R"({ "kestrel_drive": 1, "imax_ps_A": 8 })", "drive.json");
  EXPECT_DOUBLE_EQ(hw.imax_ps_A, 8.0);
  EXPECT_DOUBLE_EQ(hw.short_circuit_A, 8.8);
  EXPECT_EQ(hw.AdcMax(), 65472u);
  EXPECT_EQ(hw.AdcStep(), 64);
  try {
    ParseDriveFile(R"({ "kestrel_drive": 1, "imax_ps": 8 })", "drive.json");
    FAIL();
  } catch (const DriveFileError& e) {
    EXPECT_EQ(e.Key(), "imax_ps");
    EXPECT_EQ(e.Problem(), "unknown key");
  }
  EXPECT_THROW(ParseDriveFile(R"({ "kestrel_drive": 1, "link_latency_s": 0 })", "d"), DriveFileError);
}

// The setup's ADC full scale 65472, 65520, 65535 is a 10-, 12-, 16-bit converter.
TEST(DriveFile, SetupPowerStageTakesTheAdcResolutionFromItsFullScale) {
  for (const auto& [fullScale, bits] : {std::pair{65472u, 10}, {65520u, 12}, {65535u, 16}}) {
    EXPECT_EQ(AdcBitsFromFullScale(fullScale), bits);
  }
  EXPECT_FALSE(AdcBitsFromFullScale(4095).has_value());
  const DriveHardware hw = HardwareFromSetup(40e6, 65520, 20.0, 400.0);
  EXPECT_EQ(hw.adc_bits, 12);
  EXPECT_DOUBLE_EQ(hw.short_circuit_A, 22.0);
  EXPECT_THROW(HardwareFromSetup(40e6, 1000, 20.0, 400.0), DriveFileError);
  EXPECT_THROW(HardwareFromSetup(40e6, 65472, -1.0, 400.0), DriveFileError);
}

}  // namespace
}  // namespace drivesim
