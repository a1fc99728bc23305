// The regenerating bus on the reference drive (1 mF, 2 Ω brake resistor): the capacitor's
// charge and discharge through the supply, its diode and the brake chopper, the over-voltage
// protection, regeneration from a braking motor; and the drive file's bus keys.
#include <gtest/gtest.h>

#include "servo_program.h"

namespace drivesim::testing {
namespace {

constexpr double kCountsPerVolt = 65472.0 / 87.0;  // bus ADC: 65472 counts over 87 V

struct BusCase {
  const char* name;
  double supplyResistance_ohm;
  bool diode;
  std::int32_t osr;            // bit 9: brake chopper
  std::int32_t brakeLimit;     // BRAKELIM, bus ADC counts
  double supply_V;             // from 48 V at t = 0
  std::int32_t torqueCurrent;  // ≠ 0: held while the hand spins the shaft up to 190 rad/s and back
  double at_s;
  double bus_V, tolerance_V;
  std::uint16_t mer;           // PCR bit 4, UMAXPROT = 65 V (48916 counts)
};

class DcBus : public ::testing::TestWithParam<BusCase> {};

TEST_P(DcBus, BusAtTime) {
  const BusCase& c = GetParam();
  DriveHardware hw = ReferenceHardware();
  hw.supply_resistance_ohm = c.supplyResistance_ohm;
  hw.bus_capacitor_F = 1e-3;
  hw.supply_diode = c.diode;
  hw.brake_resistor_ohm = 2.0;
  Drive drive = LoadedDrive(ReferenceMotor(), {},
                            {{"PCR", 16}, {"UMAXPROT", 48916}, {"BRAKELIM", c.brakeLimit}, {"OSR", c.osr}}, hw);
  ASSERT_TRUE(drive.SetSupply_V(c.supply_V).ok());
  if (c.torqueCurrent != 0) {
    LaunchServo(drive, ServoConfigOf(control::ServoMode::torque),
                [&c](const programs::ProgramHost&, control::Servo& servo, int k) {
                  if (k == 0) servo.SetCurrentReference(c.torqueCurrent);
                });
    drive.RunUntil(0.01);
    drive.HandTurn(30.0, 0.3);
  }
  drive.RunUntil(c.at_s);
  EXPECT_NEAR(drive.ReadVariable("var_u2").value_or(0) / kCountsPerVolt, c.bus_V, c.tolerance_V);
  EXPECT_EQ(drive.Mer(), c.mer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DcBus,
    ::testing::Values(
        // Supply down to 24 V behind the diode, chopper always on: 48·e^(−t/RC), RC = 2 ms, sampled
        // at the 1 ms slow tick; then the divider 24·2/2.1 once the diode conducts again.
        BusCase{"BrakeDischargesWithTimeConstantRC", 0.1, true, 1 << 9, 0, 24.0, 0, 1.01e-3, 29.113, 0.2, 0},
        BusCase{"BrakeDischargeEndsAtTheSupplyDivider", 0.1, true, 1 << 9, 0, 24.0, 0, 0.05, 22.857, 0.2, 0},
        // Supply down to 30 V: the diode keeps the charge, an open supply takes it back.
        BusCase{"DiodeKeepsTheCharge", 0.1, true, 0, 0, 30.0, 0, 0.2, 48.0, 0.3, 0},
        BusCase{"OpenSupplyDischargesTheBus", 0.1, false, 0, 0, 30.0, 0, 0.2, 30.0, 0.3, 0},
        // 80 V behind 10 Ω charges the bus (τ = 10 ms) past 65 V; the chopper (BRAKELIM 56 V, as
        // in the default setup) pulls it back towards 80·2/12 V each time it passes 56 V.
        BusCase{"OverVoltageTripsWithTheBrakeOff", 10.0, true, 0, 42143, 80.0, 0, 0.2, 80.0, 0.3, mer::kOverVoltage},
        BusCase{"BrakeHoldsTheBusBelowTheTrip", 10.0, true, 1 << 9, 42143, 80.0, 0, 0.2, 56.0, 1.5, 0},
        // −3 A (3273.6 counts/A) against the hand: at speed the shaft power exceeds the copper
        // loss, and behind the diode it charges the bus by several volts; an open supply takes it.
        BusCase{"RegenerationChargesBehindTheDiode", 0.1, true, 0, 0, 48.0, -9821, 0.2, 57.0, 3.0, 0},
        BusCase{"RegenerationFlowsIntoAnOpenSupply", 0.1, false, 0, 0, 48.0, -9821, 0.2, 48.0, 0.5, 0}),
    [](const auto& param) { return std::string(param.param.name); });

// Axis off, 24 V behind the diode; the hand turns 10 rev in 0.5 s (peak 1.875·20π/0.5 = 236 rad/s:
// √3·0.08·236 = 32.7 V line to line): the bridge's diodes charge the capacitor, the diode keeps it.
TEST(Generator, AHandDrivenMotorChargesTheBusWithTheAxisOff) {
  DriveHardware hw = ReferenceHardware();
  hw.bus_capacitor_F = 1e-3;
  hw.supply_diode = true;
  MotorModel motor = ReferenceMotor();
  motor.supply_voltage_V = 24.0;
  Drive drive = LoadedDrive(motor, {}, {}, hw);
  drive.HandTurn(20.0 * M_PI, 0.5);
  drive.RunUntil(0.7);
  const double bus_V = drive.ReadVariable("var_u2").value_or(0) / kCountsPerVolt;
  EXPECT_GT(bus_V, 30.0);
  EXPECT_LT(bus_V, 32.7);
}

// Bus keys of a drive file and the key its error names ("" accepted).
TEST(DriveFile, BusKeysAreValidated) {
  for (const auto& [keys, key] : std::initializer_list<std::pair<const char*, const char*>>{
           {R"("bus_capacitor_F": 0.0022, "supply_diode": true, "brake_resistor_ohm": 33)", ""},
           {R"("bus_capacitor_F": 0)", "bus_capacitor_F"},
           {R"("supply_diode": true)", "supply_diode"},
           {R"("brake_resistor_ohm": 33)", "brake_resistor_ohm"},
           {R"("bus_capacitor_F": 0.001, "supply_resistance_ohm": 0)", "supply_resistance_ohm"}}) {
    try {
      const DriveHardware hw = ParseDriveFile(std::string(R"({ "kestrel_drive": 1, )") + keys + "}", "drive.json");
      EXPECT_EQ(std::string(key), "") << keys;
      EXPECT_TRUE(hw.bus_capacitor_F == 0.0022 && hw.supply_diode && hw.brake_resistor_ohm == 33.0);
    } catch (const DriveFileError& e) {
      EXPECT_EQ(e.Key(), key) << e.what();
    }
  }
}

}  // namespace
}  // namespace drivesim::testing
