// The Hall configuration test on the simulated motor: each of the twelve wirings of the three
// Hall sensors (six orders, straight or inverted) gives its configuration code, and the sensors'
// shift comes out within 1° electrical; both are kept on Yes.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_hall_configuration.h"
#include "drivesim/motor_model.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct WiringCase {
  const char* order;  // the sensors on Hall inputs 1, 2, 3
  bool inverted;
  int shift_deg;
  int hallCase;
};

class HallWiring : public Bench, public ::testing::WithParamInterface<WiringCase> {
 protected:
  // The built-in motor with the case's Hall wiring.
  std::filesystem::path MotorFile(const WiringCase& c) {
    std::string motor(drivesim::DefaultMotorText());
    const std::string halls = "\"halls\": { \"order\": [3, 1, 2], \"inverted\": true, \"shift_deg\": 0.0 }";
    const std::size_t at = motor.find(halls);
    if (at == std::string::npos) throw std::runtime_error("the built-in motor's Halls are not as this test expects");
    motor.replace(at, halls.size(),
                  std::string("\"halls\": {\"order\": [") + c.order + "], \"inverted\": " +
                      (c.inverted ? "true" : "false") + ", \"shift_deg\": " + std::to_string(c.shift_deg) + "}");
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                             ("kestrel_hall_wiring_" + std::to_string(c.hallCase) + ".json");
    std::ofstream(file) << motor;
    return file;
  }
};

TEST_P(HallWiring, GivesItsCodeAndShift) {
  const WiringCase& c = GetParam();
  setup_.SetParameterValueInBaseUnit("HALL30", 30000);  // unlike any shift: the question always comes
  simulator_ = drivesim::link::ConnectSimulator(setup_, {MotorFile(c), std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  std::string error, slices;
  user_.Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, ui::Milliseconds(20000))
      .Do("note the outcome",
          [&](ui::DialogDriver&) {
            const auto& test = TopTest<CTestHallConfiguration>();
            error = test.ErrorText();
            for (const auto status : test.Displays().Halls().Statuses()) slices += std::to_string(status);
          })
      .Close(IDCANCEL)
      .Answer(IDYES);
  EXPECT_EQ(RunTestAlone(&setup_, "hall-config"), IDOK);
  EXPECT_EQ(error, "");
  EXPECT_EQ(slices, "222222");  // the sweep marked every state
  EXPECT_EQ(Value("HALLCASE"), c.hallCase);
  EXPECT_NEAR(Value("HALL30"), c.shift_deg * 65536.0 / 360.0, 182.0);  // 1° electrical
}

INSTANTIATE_TEST_SUITE_P(
    Wirings, HallWiring,
    ::testing::Values(WiringCase{"1, 2, 3", false, 0, 2}, WiringCase{"2, 3, 1", true, 20, 3},
                      WiringCase{"3, 1, 2", false, -20, 4}, WiringCase{"1, 2, 3", true, 0, 5},
                      WiringCase{"2, 3, 1", false, 20, 6}, WiringCase{"3, 1, 2", true, -20, 7},
                      WiringCase{"3, 2, 1", false, 0, 8}, WiringCase{"2, 1, 3", true, 20, 9},
                      WiringCase{"1, 3, 2", false, -20, 10}, WiringCase{"3, 2, 1", true, 0, 11},
                      WiringCase{"2, 1, 3", false, 20, 12}, WiringCase{"1, 3, 2", true, -20, 13}),
    [](const auto& param) { return "hallcase_" + std::to_string(param.param.hallCase); });

// A Hall input without its sensor reads 1: no valid combination.
TEST_F(Bench, AMissingHallGivesNoValidCombination) {
  ConnectSimulator();
  ASSERT_TRUE(simulator_->SimulatedDrive().InjectFault("hall_missing 2").ok());
  std::string error;
  user_.Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, ui::Milliseconds(20000))
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "hall-config"), IDCANCEL);
  EXPECT_EQ(error, CTestHallConfiguration::kNoValidCombinationText);
  EXPECT_EQ(Value("HALLCASE"), 7);
}

}  // namespace
}  // namespace kestrel::commissioning_test
