// The linear Hall tests on the simulated linear motor (analogue Halls of 2.5 V ± 1.5 V): the
// calibration found within 0.2 % of full scale (offsets) and 1 % (gains), with a channel missing
// or the sequence reversed each with its text; the signals test passes, and fails with a stuck or
// a missing channel.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_linear_hall.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

struct LinearHallCase {
  const char* name;
  const char* test;   // catalogue name
  const char* fault;  // injected before Start; null: none
  bool reversed;      // channels B and C exchanged
  const char* error;
};

class LinearHallRun : public Bench, public ::testing::WithParamInterface<LinearHallCase> {
 protected:
  void Connect(const LinearHallCase& c) {
    setup_ = test_support::ScaledSetupFile("linear_hall");
    const std::filesystem::path file = std::filesystem::path(KESTREL_MOTORS_DIR) / "linear_hall.json";
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    std::string motor = text.str();
    const std::string sensor = "\"type\": \"linear_hall\"";
    if (c.reversed) motor.replace(motor.find(sensor), sensor.size(), sensor + ", \"reversed\": true");
    const std::filesystem::path copy = std::filesystem::temp_directory_path() / (std::string("kestrel_") + c.name + ".json");
    std::ofstream(copy) << motor;
    simulator_ = drivesim::link::ConnectSimulator(setup_, {copy, std::nullopt}, clock_);
    CMC_Comm::SetActiveLink(simulator_.get());
    if (c.fault != nullptr) {
      ASSERT_TRUE(simulator_->SimulatedDrive().InjectFault(c.fault).ok());
    }
  }
};

TEST_P(LinearHallRun, EndsWithItsText) {
  const LinearHallCase& c = GetParam();
  Connect(c);
  const bool signals = std::string(c.test) == "linear-hall-signals";
  std::string error;
  user_.Click(drivebase::kStartStopButton);
  if (signals) user_.Wait(ui::Milliseconds(3000)).Click(drivebase::kStartStopButton);
  user_.RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, ui::Milliseconds(20000))
      .Do("note the error", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, c.test), signals ? IDCANCEL : IDOK);
  EXPECT_EQ(error, c.error);
  if (signals || *c.error != '\0') return;
  constexpr double kFullScale = 65472.0;  // counts of 5 V
  for (const char* offset : {"HALLAOFF", "HALLBOFF", "HALLCOFF"}) {
    EXPECT_NEAR(Value(offset), 2.5 / 5.0 * kFullScale, 0.002 * kFullScale) << offset;
  }
  for (const char* gain : {"HALLAGAIN", "HALLBGAIN", "HALLCGAIN"}) EXPECT_NEAR(Value(gain), 32767, 327.67) << gain;
  EXPECT_NEAR(Value("ALPHA"), 21845, 182);  // 120° within 1°
  EXPECT_NEAR(Value("ZAOFF"), 0, 182);      // the aligned rest, within 1°
}

INSTANTIATE_TEST_SUITE_P(
    Motor, LinearHallRun,
    ::testing::Values(
        LinearHallCase{"gains", "linear-hall-gains", nullptr, false, ""},
        LinearHallCase{"gains_channel_c_missing", "linear-hall-gains", "lh_missing C", false,
                       CDetectHallGainOffset::kSignalMissingText},
        LinearHallCase{"gains_reversed", "linear-hall-gains", nullptr, true, CDetectHallGainOffset::kWrongSequenceText},
        LinearHallCase{"signals", "linear-hall-signals", nullptr, false, ""},
        LinearHallCase{"signals_a_stuck", "linear-hall-signals", "lh_stuck A 2.5", false,
                       CTestLHHallSignals::kUnchangedText},
        LinearHallCase{"signals_c_missing", "linear-hall-signals", "lh_missing C", false, "Hall sensor is missing."}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
