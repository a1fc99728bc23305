// The resistance and inductance identification on the simulated drive, with each shipped setup
// and its motor file (star, and the default motor wound in delta): R within 2 % and L within 3 % of
// the motor's own values, whatever the sensor and whether the motor is rotary or linear.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_rl.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct MotorCase {
  const char* name;  // of the setup and its motor file
  bool delta;        // the motor file's winding connected in delta
};

class RlOnShippedMotors : public Bench, public ::testing::WithParamInterface<MotorCase> {
 protected:
  // The motor file, or for a delta winding a copy of it that says so.
  std::filesystem::path MotorFile(const MotorCase& c) {
    const std::filesystem::path file =
        std::filesystem::path(KESTREL_SETUPS_DIR) / ".." / "motors" / (std::string(c.name) + ".json");
    if (!c.delta) return file;
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    std::string motor = text.str();
    motor.replace(motor.find("\"star\""), 6, "\"delta\"");
    const std::filesystem::path copy = std::filesystem::temp_directory_path() / "kestrel_delta_motor.json";
    std::ofstream(copy) << motor;
    return copy;
  }
};

TEST_P(RlOnShippedMotors, IdentifiesTheMotorsWinding) {
  const MotorCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.name);
  if (c.delta) setup_.SetParameterValueInBaseUnit("MotorPhaseConnectionType", 1);
  simulator_ = drivesim::link::ConnectSimulator(setup_, {MotorFile(c), std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  const drivesim::MotorModel& motor = simulator_->SimulatedDrive().Motor();
  double r_Ohm = 0.0, l_H = 0.0;
  std::string error;
  user_.Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, ui::Milliseconds(120000))
      .Do("note the results",
          [&](ui::DialogDriver&) {
            const CTestRL& test = TopTest<CTestRL>();
            r_Ohm = test.Resistance_Ohm(), l_H = test.Inductance_H(), error = test.ErrorText();
          })
      .Close(IDCANCEL)
      .Answer(IDNO);
  RunTestAlone(&setup_, "rl");
  EXPECT_EQ(error, "");
  EXPECT_NEAR(r_Ohm, motor.resistance_ohm, 0.02 * motor.resistance_ohm);
  EXPECT_NEAR(l_H, motor.inductance_H, 0.03 * motor.inductance_H);
}

INSTANTIATE_TEST_SUITE_P(Shipped, RlOnShippedMotors,
                         ::testing::Values(MotorCase{"default", false}, MotorCase{"default", true},
                                           MotorCase{"linear", false}, MotorCase{"sincos", false},
                                           MotorCase{"linear_hall", false}, MotorCase{"ssi", false},
                                           MotorCase{"biss", false}, MotorCase{"resolver", false},
                                           MotorCase{"dual_loop", false}, MotorCase{"minimal", false}),
                         [](const auto& param) {
                           return std::string(param.param.name) + (param.param.delta ? "_delta" : "");
                         });

}  // namespace
}  // namespace kestrel::commissioning_test
