// Injected faults and the drive's supervision against what the drive shows: the preliminary's
// REFTST_V and MER, the encoder counter and index capture, the Hall and linear Hall inputs, the
// resolver through the R/D converter (mismatched signals, a carrier phase the demodulation does
// not follow); malformed fault entries; I²t, over-temperature and sensor-error protections with
// trip times worked by hand, thresholds on both sides, the PCR bits that enable them.
#include <gtest/gtest.h>

#include <cmath>

#include "drive/i2t.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

Drive FaultyDrive(SensorType sensor, RegisterValues registers, const char* fault, const Scenario& scenario = {}) {
  MotorModel motor = ReferenceMotor();
  motor.halls = HallModel{};
  motor.motor_sensor.type = sensor;
  registers["MECRESL"] = 8000;
  Drive drive = LoadedDrive(motor, scenario, registers);
  EXPECT_TRUE(*fault == '\0' || drive.InjectFault(fault).ok()) << fault;
  return drive;
}

// fault, registers, REFTST_V against the sound motor's (or REFTST_V itself when not negative), MER
using PreliminaryCase = std::tuple<const char*, RegisterValues, double, std::int32_t, std::uint16_t>;
class PreliminaryUnderFault : public ::testing::TestWithParam<PreliminaryCase> {};

// Along phase A (no dead time) the modulator gives u_b = u_c = −u/2: 1.5·u drives A against B and
// C. Sound: 1.5u = (R + R/2)·I, REFTST_V = 0.9·1.49988 V. R_A × 1.5: (1.5R + R/2) → 4/3; R_B × 1.5:
// B ∥ C = 0.6R, 1.6R → 16/15; C open: all of I returns through B, 2R → 4/3; A open: no current
// along A, the trim runs into U_lim = 32767 − 2621 and ends after 5 s. A short trips at once; a
// missing Hall watched by PCR bit 6 is only recorded while the preliminary drives its frame.
// Against a nominal 1 A (3274) with SFI2T 32768 and I2TINTLIM 40000, the I²t protection that PCR
// enables trips about 100 ms after reaching 1.5 A, before the result.
TEST_P(PreliminaryUnderFault, ShowsInReftstAndMer) {
  const auto [fault, registers, ratio, exact, mer] = GetParam();
  Drive drive = FaultyDrive(SensorType::incremental, registers, fault);
  LaunchPreliminary(drive);
  RunProgram(drive, 8.0);
  const std::int32_t reftst = drive.ReadVariable("REFTST_V").value_or(0);
  EXPECT_EQ(drive.Mer(), mer);
  if (exact >= 0) {
    EXPECT_EQ(reftst, exact);
  } else {
    EXPECT_NEAR(reftst / (0.9 * 1.49988 * kVoltageScale), ratio, 0.015 * ratio);
  }
}

RegisterValues I2tRegisters(std::int32_t pcr, const std::string& suffix) {
  return {{"PCR", pcr}, {"II2TPROT" + suffix, 3274}, {"SFI2T" + suffix, 32768}, {"I2TINTLIM" + suffix, 40000}};
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PreliminaryUnderFault,
    ::testing::Values(
        PreliminaryCase{"phase_resistance A 1.5", {}, 4.0 / 3.0, -1, 0},
        PreliminaryCase{"phase_resistance B 1.5", {}, 16.0 / 15.0, -1, 0},
        PreliminaryCase{"open_phase C", {}, 4.0 / 3.0, -1, 0},
        PreliminaryCase{"open_phase A", {}, 0.0, 30146, 0},
        PreliminaryCase{"hall_missing 2", {{"PCR", 0x40}}, 1.0, -1, mer::kHallMissing},
        PreliminaryCase{"short A B 0.05", {}, 0.0, 0, mer::kShortCircuit},
        PreliminaryCase{"", I2tRegisters(0x02, "_M"), 0.0, 0, mer::kMotorI2t},
        PreliminaryCase{"", I2tRegisters(0x80, "_D"), 0.0, 0, mer::kDriveI2t},
        PreliminaryCase{"", I2tRegisters(0x80, "_M"), 1.0, -1, 0}));

// Cleared faults give the motor its own phases back: the sound motor's REFTST_V.
TEST(ClearedFaults, GiveTheMotorItsPhasesBack) {
  Drive drive = FaultyDrive(SensorType::incremental, {}, "open_phase C");
  ASSERT_TRUE(drive.InjectFault("phase_resistance A 1.5").ok());
  ASSERT_TRUE(drive.ClearFault("open_phase").ok());
  ASSERT_TRUE(drive.ClearFault("phase_resistance").ok());
  LaunchPreliminary(drive);
  RunProgram(drive, 8.0);
  EXPECT_NEAR(drive.ReadVariable("REFTST_V").value_or(0) / (0.9 * 1.49988 * kVoltageScale), 1.0, 0.015);
}

// The calibrated linear Hall vector is 1.5 V (19641.6 counts) with gains 32767: gains of 8000
// scale it to 24.4 % of that, a missing sensor after 10 ms; 8400 to 25.6 %, none.
TEST(LinearHalls, ACalibratedVectorBelowAQuarterOfNominalIsAMissingSensor) {
  for (const auto& [gain, bit] : {std::pair{8000, mer::kHallMissing}, {8400, std::uint16_t{0}}}) {
    Drive drive = FaultyDrive(SensorType::linear_hall, {{"HALLAGAIN", gain}, {"HALLBGAIN", gain}, {"HALLCGAIN", gain}}, "");
    drive.RunUntil(0.02);
    EXPECT_EQ(drive.Mer(), bit) << gain;
  }
}

struct InputCase {
  SensorType sensor;
  const char* fault;
  std::int32_t pcr;
  ResolverSignals resolver;
  double turn_deg;   // by hand, from rest; 0: at rest for 20 ms
  const char* variable;
  double counts, tolerance;
  std::uint16_t mer;
};
void PrintTo(const InputCase& c, std::ostream* os) { *os << c.variable << " under \"" << c.fault << '"'; }
class InputUnderFault : public ::testing::TestWithParam<InputCase> {};

// At rest (θ_e = 0) the Halls read 5 (H1 H2 H3 = 1 0 1): H2 unconnected reads 1 → 7, H1 changes
// nothing. Linear Hall C at 2.5 + 1.5·sin(−240°) = 3.799 V reads 49746 (13094.4 counts/V); missing
// it reads 0, A stuck at 4.9 V 64163. Out of 0.2 … 4.8 V for 10 ms, or an invalid Hall code with
// PCR bit 6, sets 0x0020, on an idle drive too. One revolution of the encoder by hand with the
// capture armed: 8000 counts, the index at 123.4° stores 2742. The resolver (MECRESL 8000): sin
// gain 1.02 at 45° reads atan(1.02) = 45.567° → 1012.6; a cos offset of 0.05 at 90° reads
// atan2(1, 0.05) = 87.138° → 1936.4. A carrier shifted by 70° leaves cos 70° = 0.34 of the
// envelope: signal loss, 0x0004; 40° leaves 0.77 and the exact angle.
TEST_P(InputUnderFault, ShowsInTheInputVariableAndMer) {
  const InputCase& c = GetParam();
  Scenario scenario;
  scenario.resolver_signals = c.resolver;
  Drive drive = FaultyDrive(c.sensor, {{"PCR", c.pcr}}, c.fault, scenario);
  ASSERT_TRUE(drive.ExecuteCommand("!CAP;ENCAPI1;").ok());
  if (c.turn_deg != 0.0) drive.HandTurn(c.turn_deg * M_PI / 180.0, 1.0);
  drive.RunUntil(c.turn_deg != 0.0 ? 1.5 : 0.02);
  EXPECT_NEAR(drive.ReadVariable(c.variable).value_or(-1), c.counts, c.tolerance);
  EXPECT_EQ(drive.Mer(), c.mer);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InputUnderFault,
    ::testing::Values(
        InputCase{SensorType::incremental, "hall_missing 2", 0x40, {}, 0.0, "HALL", 7, 0, mer::kHallMissing},
        InputCase{SensorType::incremental, "hall_missing 1", 0x40, {}, 0.0, "HALL", 5, 0, 0},
        InputCase{SensorType::linear_hall, "", 0, {}, 0.0, "AD9", 49746, 200, 0},
        InputCase{SensorType::linear_hall, "lh_missing C", 0, {}, 0.0, "AD9", 0, 200, mer::kHallMissing},
        InputCase{SensorType::linear_hall, "lh_stuck A 4.9", 0, {}, 0.0, "AD6", 64163, 200, mer::kHallMissing},
        InputCase{SensorType::incremental, "", 0, {}, 360.0, "APOS_MT", 8000, 2, 0},
        InputCase{SensorType::incremental, "", 0, {}, 360.0, "CAPPOS", 2742, 1, 0},
        InputCase{SensorType::incremental, "encoder_dead", 0, {}, 360.0, "APOS_MT", 0, 2, 0},
        InputCase{SensorType::incremental, "no_index", 0, {}, 360.0, "CAPPOS", 0, 1, 0},
        InputCase{SensorType::resolver, "", 0, {1.02, 1.0, 0.0, 0.0, 0.0}, 45.0, "APOS_MT", 1012, 2, 0},
        InputCase{SensorType::resolver, "", 0, {1.0, 1.0, 0.0, 0.05, 0.0}, 90.0, "APOS_MT", 1936, 2, 0},
        InputCase{SensorType::resolver, "", 0, {1.0, 1.0, 0.0, 0.0, 40.0}, 90.0, "APOS_MT", 2000, 2, 0},
        InputCase{SensorType::resolver, "", 0, {1.0, 1.0, 0.0, 0.0, 70.0}, 90.0, "APOS_MT", 2000, 2,
                  mer::kSensorError}));

class BadFaultEntry : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(BadFaultEntry, IsRefusedNamingTheEntryAndChangesNothing) {
  Scenario scenario;
  const Status status = ApplyFaultEntry(GetParam().first, scenario);
  EXPECT_NE(status.error.find(std::string("\"") + GetParam().first + "\": " + GetParam().second), std::string::npos)
      << status.error;
  EXPECT_FALSE(scenario.short_circuit);
}

TEST(PhaseFault, NeedsAStarConnectedMotor) {
  MotorModel motor = ReferenceMotor();
  motor.connection = PhaseConnection::delta;
  Drive drive = LoadedDrive(motor);
  EXPECT_NE(drive.InjectFault("open_phase B").error.find("star-connected"), std::string::npos);
  EXPECT_FALSE(drive.InjectedFaults().open_phase);
  EXPECT_TRUE(drive.InjectFault("encoder_dead").ok());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadFaultEntry,
    ::testing::Values(std::pair{"melted_winding", "unknown fault"}, std::pair{"phase_resistance D 1.5", "\"D\" is not one of ABC"},
                      std::pair{"phase_resistance B", "expected phase_resistance PHASE FACTOR"},
                      std::pair{"short A A", "a phase cannot be shorted to itself"},
                      std::pair{"program_lacks IE_Initial_Positioning_Test theta_1",
                                "program IE_Initial_Positioning_Test has no variable theta_1"}));

// The default setup's motor I²t: In = 3.2 A (II2TPROT_M 10476), I_I2t_M = 6 A for 10 s at
// Ts_S = 1 ms: SFI2T_M = 0.001·2^26/10 = 6711, I2TINTLIM_M = (6² − 3.2²)·3273.6²/16 = 17253496.
constexpr drive::I2tSettings kMotorI2t{10476, 6711, 17253496};

// N = floor(17253496·16·2^26 / ((i² − 10476²)·6711)) + 1: 6 A (19642 counts) 9999.63 → 10000
// samples = t_I2t_M; 9.6 A (31427) 10 s·(6² − 3.2²)/(9.6² − 3.2²) = 3.1444 s → 3145; In: never (0).
TEST(I2tTrip, TripsAfterTheSamplesWorkedByHand) {
  for (const auto& [current, samples] : {std::pair{19642, 10000}, std::pair{31427, 3145}, std::pair{10476, 0}}) {
    drive::I2tIntegrator integrator;
    int tripped = 0;
    for (int k = 1; k <= 20000 && tripped == 0; ++k) {
      if (integrator.Step(kMotorI2t, std::int64_t{current} * current)) tripped = k;
    }
    EXPECT_EQ(tripped, samples) << current;
  }
}

// Cooling at once over n samples is what n samples without current give, floored at 0.
TEST(I2tCooling, AnIdleStretchCoolsLikeSamplesWithoutCurrent) {
  for (std::int64_t idle : {37, 5000, 1000000}) {
    drive::I2tIntegrator stepped, jumped;
    for (int k = 0; k < 4000; ++k) stepped.Step(kMotorI2t, std::int64_t{19642} * 19642);
    jumped = stepped;
    for (std::int64_t k = 0; k < std::min<std::int64_t>(idle, 20000); ++k) stepped.Step(kMotorI2t, 0);
    jumped.Cool(kMotorI2t, idle);
    EXPECT_EQ(jumped.Heat(), stepped.Heat()) << idle;
  }
}

struct WatchCase {
  SensorType sensor;
  std::int32_t pcr, bitRateDivider;
  double drive_C, motor_C, amplitude;
  const char* fault;
  std::uint16_t mer;
};
class Supervision : public ::testing::TestWithParam<WatchCase> {};

// Temperature sensors at 0.5 V + 10 mV/°C on a 3.3 V, 10-bit ADC (floor to 64 counts). T2MAXPROT
// 27776 is 90 °C: 89 °C reads 27520, 91 °C 27968. T1MAXPROT 32767 is 115.2 °C: 115 °C reads
// 32704, 117 °C 33088; PCR bit 3 watches the drive, bit 2 the motor. SSI 17 + 12 bits: 40 bits at
// 60 MHz/(SSIBR + 1) against AEI_CMPTIME 2840/40 MHz = 71 µs: SSIBR 29 takes 20 µs, 119 takes
// 80 µs. Resolver and sin/cos: amplitude within 50 … 150 %. The bit latches on an idle drive; a
// launch then ends at once.
TEST_P(Supervision, LatchesOnAnIdleDriveAndStopsALaunch) {
  const WatchCase& c = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = c.sensor;
  Drive drive = LoadedDrive(motor, {},
                            {{"PCR", c.pcr}, {"T1MAXPROT", 32767}, {"T2MAXPROT", 27776}, {"SSIREV", 17},
                             {"SSITURNS", 12}, {"SSIBR", c.bitRateDivider}, {"AEI_CMPTIME", 2840}, {"MECRESL", 8000}});
  drive.SetDriveTemperature_C(c.drive_C);
  drive.SetMotorTemperature_C(c.motor_C);
  drive.SetSensorSignalAmplitude(c.amplitude);
  ASSERT_TRUE(*c.fault == '\0' || drive.InjectFault(c.fault).ok());
  drive.RunUntil(0.5);
  EXPECT_EQ(drive.Mer(), c.mer);
  LaunchPreliminary(drive);
  drive.RunUntil(0.6);
  EXPECT_EQ(drive.Mer(), c.mer);
  EXPECT_EQ(drive.ProgramRunning() && drive.AxisOn(), c.mer == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Watches, Supervision,
    ::testing::Values(WatchCase{SensorType::incremental, 0x08, 29, 91.0, 25.0, 1.0, "", mer::kOverTemperature},
                      WatchCase{SensorType::incremental, 0x08, 29, 89.0, 25.0, 1.0, "", 0},
                      WatchCase{SensorType::incremental, 0x04, 29, 120.0, 25.0, 1.0, "", 0},
                      WatchCase{SensorType::incremental, 0x04, 29, 25.0, 117.0, 1.0, "", mer::kOverTemperature},
                      WatchCase{SensorType::incremental, 0x04, 29, 25.0, 115.0, 1.0, "", 0},
                      WatchCase{SensorType::incremental, 0x08, 29, 25.0, 130.0, 1.0, "", 0},
                      WatchCase{SensorType::ssi, 0, 29, 25.0, 25.0, 1.0, "", 0},
                      WatchCase{SensorType::biss, 0, 119, 25.0, 25.0, 1.0, "", mer::kSensorError},
                      WatchCase{SensorType::resolver, 0, 29, 25.0, 25.0, 0.4, "", mer::kSensorError},
                      WatchCase{SensorType::resolver, 0, 29, 25.0, 25.0, 1.0, "encoder_dead", mer::kSensorError},
                      WatchCase{SensorType::sincos, 0, 29, 25.0, 25.0, 0.55, "", 0},
                      WatchCase{SensorType::sincos, 0, 29, 25.0, 25.0, 1.6, "", mer::kSensorError},
                      WatchCase{SensorType::incremental, 0, 29, 25.0, 25.0, 1.0, "encoder_dead", 0}));

}  // namespace
}  // namespace drivesim::testing
