// I²t, over-temperature and sensor-error protections: trip times worked by hand, thresholds on
// both sides, the PCR bits that enable them, idle drives.
#include <gtest/gtest.h>

#include "drive/i2t.h"
#include "reference_drive.h"

namespace drivesim::testing {
namespace {

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

class OverTemperature : public ::testing::TestWithParam<std::tuple<std::int32_t, double, double, bool>> {};

// Sensors at 0.5 V + 10 mV/°C on a 3.3 V, 10-bit ADC (floor to 64 counts). T2MAXPROT 27776 is
// 90 °C: 89 °C reads 27520, 91 °C 27968. T1MAXPROT 32767 is 115.2 °C: 115 °C reads 32704,
// 117 °C 33088. The bit latches on an idle drive; a launch then ends at once.
TEST_P(OverTemperature, LatchesAboveTheLimitWhereEnabled) {
  const auto [pcr, drive_C, motor_C, trips] = GetParam();
  Drive drive = LoadedDrive(ReferenceMotor(), {}, {{"PCR", pcr}, {"T1MAXPROT", 32767}, {"T2MAXPROT", 27776}});
  drive.SetDriveTemperature_C(drive_C);
  drive.SetMotorTemperature_C(motor_C);
  drive.RunUntil(0.5);
  EXPECT_EQ(drive.Mer(), trips ? mer::kOverTemperature : 0);
  LaunchPreliminary(drive);
  drive.RunUntil(0.6);
  EXPECT_EQ(drive.ProgramRunning(), !trips);
}

INSTANTIATE_TEST_SUITE_P(Sensors, OverTemperature,
                         ::testing::Values(std::tuple{0x08, 91.0, 25.0, true}, std::tuple{0x08, 89.0, 25.0, false},
                                           std::tuple{0x04, 120.0, 25.0, false}, std::tuple{0x04, 25.0, 117.0, true},
                                           std::tuple{0x04, 25.0, 115.0, false}, std::tuple{0x08, 25.0, 130.0, false}));

class SensorError : public ::testing::TestWithParam<std::tuple<SensorType, double, const char*, std::int32_t, bool>> {};

// SSI 17 + 12 bits: 40 bits at 60 MHz/(SSIBR + 1) against AEI_CMPTIME 2840/40 MHz = 71 µs: SSIBR
// 29 takes 20 µs, 119 takes 80 µs. Resolver and sin/cos: amplitude within 50 … 150 %.
TEST_P(SensorError, LatchesWhenTheSignalsCannotBeRead) {
  const auto [type, amplitude, fault, bitRateDivider, trips] = GetParam();
  MotorModel motor = ReferenceMotor();
  motor.motor_sensor.type = type;
  Drive drive = LoadedDrive(
      motor, {}, {{"SSIREV", 17}, {"SSITURNS", 12}, {"SSIBR", bitRateDivider}, {"AEI_CMPTIME", 2840}, {"MECRESL", 8000}});
  drive.SetSensorSignalAmplitude(amplitude);
  ASSERT_TRUE(*fault == '\0' || drive.InjectFault(fault).ok());
  LaunchPreliminary(drive);
  drive.RunUntil(0.1);
  EXPECT_EQ(drive.Mer(), trips ? mer::kSensorError : 0);
  EXPECT_EQ(drive.AxisOn(), !trips);
}

INSTANTIATE_TEST_SUITE_P(Signals, SensorError,
                         ::testing::Values(std::tuple{SensorType::ssi, 1.0, "", 29, false},
                                           std::tuple{SensorType::biss, 1.0, "", 119, true},
                                           std::tuple{SensorType::resolver, 0.4, "", 29, true},
                                           std::tuple{SensorType::resolver, 1.0, "encoder_dead", 29, true},
                                           std::tuple{SensorType::sincos, 0.55, "", 29, false},
                                           std::tuple{SensorType::sincos, 1.6, "", 29, true},
                                           std::tuple{SensorType::incremental, 1.0, "encoder_dead", 29, false}));

}  // namespace
}  // namespace drivesim::testing
