// The resolver setup on the simulated drive, opened by Motor Setup's Setup resolver: a resolver
// mounted 100° from the rotor's zero (4 pole pairs, 65536 counts) gives ZAOFF = 18204 mod 16384 =
// 1820 within a count, the diagram shows the converter's position at the end, and the offset
// survives Motor Setup's OK and the register computation that follows it.
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_resolver_setup.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/my_setup_dlg.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

// The shipped resolver motor with its resolver mounted at an angle.
std::string MountedResolverMotor(double mounting_deg) {
  std::ifstream file(std::string(KESTREL_MOTORS_DIR) + "/resolver.json");
  std::string motor((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string key = "\"resolver_pole_pairs\": 1";
  motor.replace(motor.find(key), key.size(), key + ", \"offset_deg\": " + std::to_string(mounting_deg));
  const std::string path = ::testing::TempDir() + "/mounted_resolver.json";
  std::ofstream(path) << motor;
  return path;
}

TEST_F(Bench, MotorSetupsResolverSetupFindsAndKeepsTheOffset) {
  setup_ = test_support::ScaledSetupFile("resolver");
  simulator_ = drivesim::link::ConnectSimulator(setup_, {MountedResolverMotor(100.0), std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  double found = -1.0, theta = 0.0, count = 0.0;
  user_.Click(3476)
      .Expect(ui::TopDialogIs("Resolver Setup Test"))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the result",
          [&](ui::DialogDriver& dialog) {
            EXPECT_EQ(dialog.Text(drivebase::kOutcomeText), "Test passed") << TopTest().ErrorText();
            found = Internal("ZAOFF");
            theta = TopTest<CTestResolverSetup>().PositionDiagram().Theta();
            count = static_cast<double>(simulator_->SimulatedDrive().ReadVariable("APOS_MT").value_or(0));
          })
      .Close(IDCANCEL)
      .Expect(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDOK);
  EXPECT_EQ(RunSetupDialogAlone(&setup_, "motor"), IDOK);
  EXPECT_NEAR(found, 1820.0, 1.0);
  EXPECT_NEAR(theta, count * 2.0 * std::numbers::pi / 65536.0, 1e-9);
  BringLayersToAgree(&setup_);
  EXPECT_EQ(Internal("ZAOFF"), found);
}

}  // namespace
}  // namespace kestrel::commissioning_test
