// Injected faults, each against what the drive's programs and variables show: the preliminary's
// REFTST_V and MER, the encoder counter and index capture, the Hall and linear Hall inputs.
#include <gtest/gtest.h>

#include <cmath>

#include "reference_drive.h"

namespace drivesim::testing {
namespace {

std::int32_t Preliminary(Drive& drive) {
  EXPECT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  RunProgram(drive, 8.0);
  return drive.ReadVariable("REFTST_V").value_or(0);
}

struct PreliminaryCase {
  const char* name;
  const char* fault;
  std::int32_t pcr;
  double ratio;          // REFTST_V against the sound motor's, or
  std::int32_t exact;    // REFTST_V itself when not negative
  std::uint16_t mer;
};

class PreliminaryUnderFault : public ::testing::TestWithParam<PreliminaryCase> {};

// Voltage along phase A (no dead time): the modulator gives u_b = u_c = −u/2, so 1.5·u is the
// voltage from A to the other terminals. Sound: 1.5u = (R + R/2)·I → u = R·I.
// R_A × 1.5: 1.5u = (1.5R + R/2)·I → 4/3. R_B × 1.5: B ∥ C = 0.6R, 1.5u = 1.6R·I → 16/15.
// C open: all of I returns through B, 1.5u = 2R·I → 4/3. A open: no current along A, the trim
// runs into U_lim = 32767 − 2621 and the program ends after 5 s with REFTST_V = 30146.
// A short trips at once; a missing Hall is only recorded while the preliminary drives its frame.
TEST_P(PreliminaryUnderFault, ShowsInReftstAndMer) {
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = GetParam().pcr;
  Drive sound(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(sound.LoadRegisters(registers).ok());
  const double reference = Preliminary(sound);
  ASSERT_NEAR(reference, 0.9 * 1.49988 * kVoltageScale, 20.0);
  MotorModel motor = ReferenceMotor();
  motor.halls = HallModel{};
  Drive drive(ReferenceHardware(), motor);
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  ASSERT_TRUE(drive.InjectFault(GetParam().fault).ok());
  const std::int32_t faulty = Preliminary(drive);
  EXPECT_EQ(drive.Mer(), GetParam().mer);
  if (GetParam().exact >= 0) {
    EXPECT_EQ(faulty, GetParam().exact);
  } else {
    EXPECT_NEAR(faulty / reference, GetParam().ratio, 0.015 * GetParam().ratio);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PreliminaryUnderFault,
    ::testing::Values(PreliminaryCase{"ResistanceA", "phase_resistance A 1.5", 0, 4.0 / 3.0, -1, 0},
                      PreliminaryCase{"ResistanceB", "phase_resistance B 1.5", 0, 16.0 / 15.0, -1, 0},
                      PreliminaryCase{"OpenC", "open_phase C", 0, 4.0 / 3.0, -1, 0},
                      PreliminaryCase{"OpenA", "open_phase A", 0, 0.0, 30146, 0},
                      PreliminaryCase{"HallMissing", "hall_missing 2", 0x40, 1.0, -1, mer::kHallMissing},
                      PreliminaryCase{"HallMissingUnmonitored", "hall_missing 2", 0, 1.0, -1, 0},
                      PreliminaryCase{"Short", "short A B 0.05", 0, 0.0, 0, mer::kShortCircuit}),
    [](const auto& param) { return std::string(param.param.name); });

struct EncoderCase {
  const char* name;
  const char* fault;
  std::int32_t counter, capture;
};

class EncoderUnderFault : public ::testing::TestWithParam<EncoderCase> {};

// One revolution by hand with the index capture armed: 8000 counts, the index at 123.4° stores
// 2742 (8000·123.4/360). A dead encoder leaves both at 0, a missing index only the capture.
TEST_P(EncoderUnderFault, ShowsInTheCounterAndTheCapture) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  ASSERT_TRUE(drive.LoadRegisters(ReferenceRegisters()).ok());
  if (*GetParam().fault != '\0') {
    ASSERT_TRUE(drive.InjectFault(GetParam().fault).ok());
  }
  ASSERT_TRUE(drive.ExecuteCommand("!CAP;ENCAPI1;").ok());
  drive.HandTurn(2.0 * M_PI, 1.0);
  drive.RunUntil(1.5);
  EXPECT_NEAR(drive.ReadVariable("APOS_MT").value_or(-1), GetParam().counter, 2);
  EXPECT_NEAR(drive.ReadVariable("CAPPOS").value_or(-1), GetParam().capture, 1);
  EXPECT_EQ(drive.Mer(), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, EncoderUnderFault,
                         ::testing::Values(EncoderCase{"Sound", "", 8000, 2742},
                                           EncoderCase{"Dead", "encoder_dead", 0, 0},
                                           EncoderCase{"NoIndex", "no_index", 8000, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

struct InputCase {
  const char* name;
  SensorType sensor;
  const char* fault;
  const char* variable;
  double expected;   // counts
  double tolerance;
  std::uint16_t mer;
  std::int32_t pcr = 0;
};

class InputUnderFault : public ::testing::TestWithParam<InputCase> {};

// At rest (θ_e = 0) the Halls read code 5 (H1 H2 H3 = 1 0 1): H2 unconnected reads 1 → 7, H1
// changes nothing. Linear Halls (2.5 + 1.5·sin(θ_e − 120°·j)) V at 13094.4 counts/V: C at
// 3.799 V reads 49746; missing it reads 0; A stuck at 4 V reads 52378. A linear Hall channel
// below 0.2 V or above 4.8 V for 10 ms sets 0x0020, on an idle drive too, as does an invalid
// Hall code while PCR bit 6 watches the Halls.
TEST_P(InputUnderFault, ShowsInTheInputVariable) {
  MotorModel motor = ReferenceMotor();
  motor.halls = HallModel{};
  motor.motor_sensor.type = GetParam().sensor;
  Drive drive(ReferenceHardware(), motor);
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = GetParam().pcr;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  if (*GetParam().fault != '\0') {
    ASSERT_TRUE(drive.InjectFault(GetParam().fault).ok());
  }
  drive.RunUntil(0.02);
  EXPECT_NEAR(drive.ReadVariable(GetParam().variable).value_or(-1), GetParam().expected, GetParam().tolerance);
  EXPECT_EQ(drive.Mer(), GetParam().mer);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InputUnderFault,
    ::testing::Values(InputCase{"HallsSound", SensorType::incremental, "", "HALL", 5, 0, 0},
                      InputCase{"Hall2Missing", SensorType::incremental, "hall_missing 2", "HALL", 7, 0, 0},
                      InputCase{"Hall2MissingWatched", SensorType::incremental, "hall_missing 2", "HALL", 7, 0,
                                mer::kHallMissing, 0x40},
                      InputCase{"Hall1Missing", SensorType::incremental, "hall_missing 1", "HALL", 5, 0, 0, 0x40},
                      InputCase{"LinearHallC", SensorType::linear_hall, "", "AD9", 49746, 200, 0},
                      InputCase{"LinearHallCMissing", SensorType::linear_hall, "lh_missing C", "AD9", 0, 200,
                                mer::kHallMissing},
                      InputCase{"LinearHallAStuck", SensorType::linear_hall, "lh_stuck A 4", "AD6", 52378, 200, 0},
                      InputCase{"LinearHallAAtTheRail", SensorType::linear_hall, "lh_stuck A 4.9", "AD6", 64163, 200,
                                mer::kHallMissing}),
    [](const auto& param) { return std::string(param.param.name); });

struct EntryCase {
  const char* entry;
  const char* mentions;
};

class BadFaultEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(BadFaultEntry, IsRefusedNamingTheEntryAndChangesNothing) {
  Scenario scenario;
  const Status status = ApplyFaultEntry(GetParam().entry, scenario);
  EXPECT_NE(status.error.find(GetParam().entry), std::string::npos) << status.error;
  EXPECT_NE(status.error.find(GetParam().mentions), std::string::npos) << status.error;
  EXPECT_FALSE(scenario.short_circuit);
  EXPECT_EQ(scenario.faults.phase_resistance_factor[1], 1.0);
}

INSTANTIATE_TEST_SUITE_P(Entries, BadFaultEntry,
                         ::testing::Values(EntryCase{"melted_winding", "unknown fault"},
                                           EntryCase{"phase_resistance D 1.5", "not one of ABC"},
                                           EntryCase{"phase_resistance B x", "not a number"},
                                           EntryCase{"phase_resistance B", "expected phase_resistance PHASE FACTOR"},
                                           EntryCase{"phase_order ABA", "not an order"},
                                           EntryCase{"hall_missing 4", "not one of 123"},
                                           EntryCase{"lh_stuck A 7", "outside"},
                                           EntryCase{"short A A", "itself"},
                                           EntryCase{"program_missing IE_No_Such_Test", "no program IE_No_Such_Test"},
                                           EntryCase{"program_lacks IE_Initial_Positioning_Test theta_1",
                                                     "has no variable theta_1"}));

}  // namespace
}  // namespace drivesim::testing
