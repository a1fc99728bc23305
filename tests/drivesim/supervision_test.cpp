// I²t, over-temperature and sensor-error protections: trip times worked by hand, thresholds on
// both sides, idle drives, and the PCR bits that enable them.
#include <gtest/gtest.h>

#include "drive/i2t.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

// The default setup's motor I²t: In = 3.2 A (II2TPROT_M 10476), I_I2t_M = 6 A for t_I2t_M = 10 s
// at Ts_S = 1 ms (SFI2T_M = 0.001·2^26/10 = 6711, I2TINTLIM_M = (6² − 3.2²)·3273.6²/16 = 17253496).
constexpr drive::I2tSettings kMotorI2t{10476, 6711, 17253496};

struct TripCase {
  double amperes;
  std::int32_t counts;
  int samples;  // first slow sample above the limit; 0: never
};

class I2tTrip : public ::testing::TestWithParam<TripCase> {};

// At i: N = floor(I2TINTLIM·16·2^26 / ((i² − 10476²)·6711)) + 1. 6 A (19642 counts): 9999.63 →
// 10000 samples = t_I2t_M; 9.6 A: 10 s·(6² − 3.2²)/(9.6² − 3.2²) = 3.1444 s → 3145; In and below: never.
TEST_P(I2tTrip, TripsAfterTheSamplesWorkedByHand) {
  drive::I2tIntegrator integrator;
  const std::int64_t squared = std::int64_t{GetParam().counts} * GetParam().counts;
  int tripped = 0;
  for (int k = 1; k <= 20000 && tripped == 0; ++k) {
    if (integrator.Step(kMotorI2t, squared)) tripped = k;
  }
  EXPECT_EQ(tripped, GetParam().samples);
}

INSTANTIATE_TEST_SUITE_P(Currents, I2tTrip,
                         ::testing::Values(TripCase{6.0, 19642, 10000}, TripCase{9.6, 31427, 3145},
                                           TripCase{3.2, 10476, 0}, TripCase{1.5, 4910, 0}));

// Cooling at once over n samples is what n samples without current give, floored at 0.
TEST(I2tCooling, AnIdleStretchCoolsLikeSamplesWithoutCurrent) {
  for (std::int64_t idle : {1, 37, 5000, 1000000}) {
    drive::I2tIntegrator stepped, jumped;
    for (int k = 0; k < 4000; ++k) {
      stepped.Step(kMotorI2t, std::int64_t{19642} * 19642);
      jumped.Step(kMotorI2t, std::int64_t{19642} * 19642);
    }
    for (std::int64_t k = 0; k < std::min<std::int64_t>(idle, 20000); ++k) stepped.Step(kMotorI2t, 0);
    jumped.Cool(kMotorI2t, idle);
    EXPECT_EQ(jumped.Heat(), stepped.Heat()) << idle;
  }
}

struct I2tDriveCase {
  const char* name;
  std::int32_t pcr;
  const char* suffix;
  std::uint16_t mer;
};

class I2tOnTheDrive : public ::testing::TestWithParam<I2tDriveCase> {};

// The preliminary holds 1.5 A (4910 counts) against a nominal of 1 A (3274): (4910² − 3274²)·32768
// per sample against 40000·16·2^26 trips within about 100 ms of the current reaching 1.5 A.
TEST_P(I2tOnTheDrive, TripsOnlyWhereItsBitIsEnabled) {
  Drive drive(ReferenceHardware(), ReferenceMotor());
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = GetParam().pcr;
  const std::string suffix = GetParam().suffix;
  registers["II2TPROT" + suffix] = 3274;
  registers["SFI2T" + suffix] = 32768;
  registers["I2TINTLIM" + suffix] = 40000;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  RunProgram(drive, 6.0);
  EXPECT_EQ(drive.Mer(), GetParam().mer);
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("REFTST_V").value_or(0) != 0, GetParam().mer == 0) << "a trip ends the program before its result";
}

INSTANTIATE_TEST_SUITE_P(Sides, I2tOnTheDrive,
                         ::testing::Values(I2tDriveCase{"Motor", 0x02, "_M", mer::kMotorI2t},
                                           I2tDriveCase{"Drive", 0x80, "_D", mer::kDriveI2t},
                                           I2tDriveCase{"MotorDisabled", 0x80, "_M", 0},
                                           I2tDriveCase{"DriveDisabled", 0x02, "_D", 0}),
                         [](const auto& param) { return std::string(param.param.name); });

struct TemperatureCase {
  const char* name;
  std::int32_t pcr;
  double drive_C, motor_C;
  bool trips;
};

class OverTemperature : public ::testing::TestWithParam<TemperatureCase> {};

// Sensors at 0.5 V + 10 mV/°C on a 3.3 V, 10-bit ADC (floor to 64 counts). T2MAXPROT 27776 is
// 90.0 °C: 89 °C reads 27520, 91 °C 27968. T1MAXPROT 32767 is 115.2 °C: 115 °C reads 32704,
// 117 °C 33088. The bit latches on an idle drive too, and a launch then ends at once.
TEST_P(OverTemperature, LatchesAboveTheLimitWhereEnabled) {
  Scenario scenario;
  scenario.drive_temperature_C = GetParam().drive_C;
  Drive drive(ReferenceHardware(), ReferenceMotor(), scenario);
  RegisterValues registers = ReferenceRegisters();
  registers["PCR"] = GetParam().pcr;
  registers["T1MAXPROT"] = 32767;
  registers["T2MAXPROT"] = 27776;
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  drive.SetMotorTemperature_C(GetParam().motor_C);
  drive.RunUntil(0.5);
  const std::uint16_t expected = GetParam().trips ? mer::kOverTemperature : 0;
  EXPECT_EQ(drive.Mer(), expected);
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.6);
  EXPECT_EQ(drive.Mer(), expected);
  EXPECT_EQ(drive.ProgramRunning(), !GetParam().trips);
}

INSTANTIATE_TEST_SUITE_P(Sensors, OverTemperature,
                         ::testing::Values(TemperatureCase{"DriveHot", 0x08, 91, 25, true},
                                           TemperatureCase{"DriveWarm", 0x08, 89, 25, false},
                                           TemperatureCase{"DriveHotUnprotected", 0x04, 120, 25, false},
                                           TemperatureCase{"MotorHot", 0x04, 25, 117, true},
                                           TemperatureCase{"MotorWarm", 0x04, 25, 115, false},
                                           TemperatureCase{"MotorHotUnprotected", 0x08, 25, 130, false}),
                         [](const auto& param) { return std::string(param.param.name); });

struct SensorCase {
  const char* name;
  SensorType type;
  double amplitude;
  const char* fault;       // fault entry, or empty
  std::int32_t ssiBitRateDivider;
  bool trips;
};

class SensorError : public ::testing::TestWithParam<SensorCase> {};

// SSI (17 + 12 bits): 40 bits at 60 MHz/(SSIBR + 1) against AEI_CMPTIME 2840/40 MHz = 71 µs:
// SSIBR 29 (2 MHz) takes 20 µs, SSIBR 119 (500 kHz) 80 µs.
TEST_P(SensorError, LatchesWhenTheSignalsCannotBeRead) {
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = GetParam().type;
  Scenario scenario;
  scenario.sensor_signal_amplitude = GetParam().amplitude;
  if (*GetParam().fault != '\0') {
    ASSERT_TRUE(ApplyFaultEntry(GetParam().fault, scenario).ok());
  }
  Drive drive(ReferenceHardware(), motor, scenario);
  RegisterValues registers = ReferenceRegisters();
  registers.insert({{"SSIREV", 17}, {"SSITURNS", 12}, {"SSIBR", GetParam().ssiBitRateDivider}, {"AEI_CMPTIME", 2840},
                    {"AEI_CLKDIV", 0}, {"MECRESL", 8000}});
  ASSERT_TRUE(drive.LoadRegisters(registers).ok());
  ASSERT_TRUE(drive.Launch("IE_Initial_Positioning_Test", {{"In1", 4910}}).ok());
  drive.RunUntil(0.1);
  EXPECT_EQ(drive.Mer(), GetParam().trips ? mer::kSensorError : 0);
  EXPECT_EQ(drive.AxisOn(), !GetParam().trips);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SensorError,
    ::testing::Values(SensorCase{"SsiFits", SensorType::ssi, 1.0, "", 29, false},
                      SensorCase{"SsiTooSlow", SensorType::biss, 1.0, "", 119, true},
                      SensorCase{"ResolverNominal", SensorType::resolver, 1.0, "", 29, false},
                      SensorCase{"ResolverWeak", SensorType::resolver, 0.4, "", 29, true},
                      SensorCase{"ResolverLost", SensorType::resolver, 1.0, "encoder_dead", 29, true},
                      SensorCase{"SinCosLow", SensorType::sincos, 0.55, "", 29, false},
                      SensorCase{"SinCosHigh", SensorType::sincos, 1.6, "", 29, true},
                      SensorCase{"IncrementalDeadIsNoSensorError", SensorType::incremental, 1.0, "encoder_dead", 29, false}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::testing
