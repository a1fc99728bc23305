// The regenerating bus: the capacitor's exact charge and discharge through the supply, its
// diode and the brake resistor; the chopper and the over-voltage protection on the drive; the
// drive file's bus keys.
#include <gtest/gtest.h>

#include "model/dc_bus.h"
#include "servo_program.h"

namespace drivesim::testing {
namespace {

struct ChargeCase {
  const char* name;
  bool diode;
  bool brake;         // 10 Ω across the bus for the whole time
  double supply_V;    // behind 0.1 Ω
  double dcCurrent_A;
  double start_V;
  double time_s;
  int steps;          // the time in equal steps: an exact update composes without error
  double expected_V;  // worked by hand, C = 1 mF
};

class BusCharge : public ::testing::TestWithParam<ChargeCase> {};

TEST_P(BusCharge, FollowsTheRcSolution) {
  const ChargeCase& c = GetParam();
  model::DcBusParams bus{1e-3, c.diode, 10.0};
  const model::BusLoad load{c.supply_V, 0.1, c.dcCurrent_A, c.brake};
  double bus_V = c.start_V;
  for (int k = 0; k < c.steps; ++k) bus_V = model::AdvanceBusVoltage(bus, load, bus_V, c.time_s / c.steps);
  EXPECT_NEAR(bus_V, c.expected_V, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BusCharge,
    ::testing::Values(
        // τ = R_brake·C = 10 ms; the diode keeps the 24 V supply out: 80·e^(−0.5).
        ChargeCase{"BrakeDischargesWithTimeConstantRC", true, true, 24.0, 0.0, 80.0, 5e-3, 100, 48.522452777},
        // Discharged below 48 V, the diode conducts: the divider 48·10/10.1.
        ChargeCase{"BrakeDischargeEndsAtTheSupplyDivider", true, true, 48.0, 0.0, 80.0, 1.0, 1, 47.524752475},
        // Regenerated 2 A behind the diode: 2 A·10 ms/1 mF = 20 V.
        ChargeCase{"RegenerationChargesBehindTheDiode", true, false, 48.0, -2.0, 48.0, 10e-3, 200, 68.0},
        // Without the diode the supply takes it back: 48 + 0.1·2 after 100·R_s·C.
        ChargeCase{"RegenerationFlowsIntoAnOpenSupply", false, false, 48.0, -2.0, 48.0, 10e-3, 200, 48.2},
        // From 40 V the supply conducts until the bus reaches 48 V at R_s·C·ln((40 − 48.2)/(48 − 48.2))
        // = 0.1 ms·ln 41 = 371.357 µs; the rest charges at 2 A/1 mF.
        ChargeCase{"DiodeBlocksWhereTheBusPassesTheSupply", true, false, 48.0, -2.0, 40.0, 10e-3, 1, 67.257285587},
        ChargeCase{"MotoringDrawsThroughTheDiode", true, false, 48.0, 2.0, 48.0, 10e-3, 3, 47.8}),
    [](const auto& param) { return std::string(param.param.name); });

// Reference bus ADC: 65472 counts over 87 V, 752.55 counts/V.
constexpr double kCountsPerVolt = 65472.0 / 87.0;

struct DriveBusCase {
  const char* name;
  double supplyResistance_ohm;
  bool diode;
  std::int32_t osr;           // bit 9: brake chopper
  double newSupply_V;         // from 48 V at t = 0
  std::uint16_t mer;
  double bus_V;               // after 0.2 s, within ±2 V
};

class DriveBus : public ::testing::TestWithParam<DriveBusCase> {};

// A 1 mF bus with a 2 Ω brake resistor; PCR bit 4 trips above UMAXPROT = 65 V (48916), the
// chopper conducts above BRAKELIM = 56 V (42143, as in the default setup).
TEST_P(DriveBus, ChopperAndOverVoltage) {
  const DriveBusCase& c = GetParam();
  DriveHardware hw = ReferenceHardware();
  hw.supply_resistance_ohm = c.supplyResistance_ohm;
  hw.bus_capacitor_F = 1e-3;
  hw.supply_diode = c.diode;
  hw.brake_resistor_ohm = 2.0;
  Drive drive = LoadedDrive(ReferenceMotor(), {},
                            {{"PCR", 16}, {"UMAXPROT", 48916}, {"BRAKELIM", 42143}, {"OSR", c.osr}}, hw);
  ASSERT_TRUE(drive.SetSupply_V(c.newSupply_V).ok());
  drive.RunUntil(0.2);
  EXPECT_EQ(drive.Mer(), c.mer);
  EXPECT_NEAR(drive.ReadVariable("var_u2").value_or(0) / kCountsPerVolt, c.bus_V, 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DriveBus,
    ::testing::Values(
        // An 80 V supply behind 10 Ω charges the bus (τ = 10 ms) past 65 V.
        DriveBusCase{"OverVoltageTripsWithTheBrakeOff", 10.0, true, 0, 80.0, mer::kOverVoltage, 80.0},
        // The chopper pulls the bus back each time it passes 56 V (towards 80·2/12 V, τ = 1.7 ms).
        DriveBusCase{"BrakeHoldsTheBusBelowTheTrip", 10.0, true, 1 << 9, 80.0, 0, 56.0},
        // A supply dropping to 30 V: the diode keeps the charge, an open supply takes it back.
        DriveBusCase{"DiodeKeepsTheCharge", 0.1, true, 0, 30.0, 0, 48.0},
        DriveBusCase{"OpenSupplyDischargesTheBus", 0.1, false, 0, 30.0, 0, 30.0}),
    [](const auto& param) { return std::string(param.param.name); });

// A braking motor: −3 A of torque current while the hand spins the shaft up to about 190 rad/s
// and back. The shaft power it returns at speed exceeds the copper loss; behind the diode it
// charges the 1 mF capacitor by several volts, an open supply takes it back through 0.1 Ω.
TEST(Regeneration, ChargesTheBusOnlyBehindTheDiode) {
  for (const auto& [diode, low_V, high_V] : {std::tuple{true, 54.0, 65.0}, {false, 47.0, 49.0}}) {
    DriveHardware hw = ReferenceHardware();
    hw.bus_capacitor_F = 1e-3;
    hw.supply_diode = diode;
    Drive drive = ServoDrive(ReferenceMotor(), {}, {}, hw);
    ASSERT_TRUE(LaunchServo(drive, ServoConfigOf(control::ServoMode::torque),
                            [](const programs::ProgramHost&, control::Servo& servo, int k) {
                              if (k == 0) servo.SetCurrentReference(-9821);  // −3 A at 3273.6 counts/A
                            }).ok());
    drive.RunUntil(0.01);
    drive.HandTurn(30.0, 0.3);
    double highest_V = 0.0;
    for (int k = 1; k <= 60; ++k) {
      drive.RunUntil(0.01 + 0.005 * k);
      highest_V = std::max(highest_V, drive.ReadVariable("var_u2").value_or(0) / kCountsPerVolt);
    }
    EXPECT_GT(highest_V, low_V) << "diode " << diode;
    EXPECT_LT(highest_V, high_V) << "diode " << diode;
    EXPECT_EQ(drive.Mer(), 0);
  }
}

struct FileCase {
  const char* keys;
  const char* key;      // the key the error names; empty: accepted
};

class BusKeys : public ::testing::TestWithParam<FileCase> {};

TEST_P(BusKeys, AreValidated) {
  const FileCase& c = GetParam();
  const std::string text = std::string(R"({ "kestrel_drive": 1)") + c.keys + "}";
  if (*c.key == '\0') {
    const DriveHardware hw = ParseDriveFile(text, "drive.json");
    EXPECT_DOUBLE_EQ(hw.bus_capacitor_F.value_or(0), 0.0022);
    EXPECT_TRUE(hw.supply_diode);
    EXPECT_DOUBLE_EQ(hw.brake_resistor_ohm.value_or(0), 33.0);
    return;
  }
  try {
    ParseDriveFile(text, "drive.json");
    FAIL() << c.keys;
  } catch (const DriveFileError& e) {
    EXPECT_EQ(e.Key(), c.key) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BusKeys,
    ::testing::Values(FileCase{R"(, "bus_capacitor_F": 0.0022, "supply_diode": true, "brake_resistor_ohm": 33)", ""},
                      FileCase{R"(, "bus_capacitor_F": 0)", "bus_capacitor_F"},
                      FileCase{R"(, "bus_capacitor_F": 0.001, "brake_resistor_ohm": -1)", "brake_resistor_ohm"},
                      FileCase{R"(, "bus_capacitor_F": 0.001, "supply_diode": 1)", "supply_diode"},
                      FileCase{R"(, "supply_diode": true)", "supply_diode"},
                      FileCase{R"(, "brake_resistor_ohm": 33)", "brake_resistor_ohm"},
                      FileCase{R"(, "bus_capacitor_F": 0.001, "supply_resistance_ohm": 0)", "supply_resistance_ohm"}));

}  // namespace
}  // namespace drivesim::testing
