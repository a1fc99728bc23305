// The simulated drive through the host's link as its faults and its scope meet the host: frames
// delivered to the registered handler up to the host's present time, the stopped state, the
// offline link's refusals; program images written as the faulty drive holds its programs, a
// variable an image lacks, an output never written, a program the drive lacks.
#include <unistd.h>

#include <gtest/gtest.h>

#include "drivebase/program_launch.h"
#include "drivesim_link/program_images.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

// The default setup's drive connected on a dialog clock of its own.
class LinkedDrive : public ::testing::Test {
 protected:
  LinkedDrive() {
    ui::SetCurrentEventLoop(&loop_);
    link_ = ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(link_.get());
  }
  ~LinkedDrive() override {
    CMC_Comm::SetActiveLink(nullptr);
    ui::SetCurrentEventLoop(nullptr);
  }

  ui::EventLoop loop_{ui::DefaultMessageBoxes()};
  DialogClock clock_;
  const CMC_Setup setup_ = kestrel::LoadDefaultSetup();
  std::unique_ptr<SimulatorLink> link_;
};

std::vector<std::vector<std::uint16_t>> g_frames;

int CollectFrame(const std::uint16_t* message) {
  g_frames.emplace_back(message, message + 3 + message[0]);
  return 0xE900;
}

// Slow samples every 1 ms from the arming at 0 ms, one int16 channel (63 samples a frame), window
// 100: frames at 62 ms and 99 ms. Each check delivers what the drive sent until it leaves.
TEST_F(LinkedDrive, ScopeDeliversTheFramesSentUpToNowAndReportsTheFullWindow) {
  const auto previous = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(CollectFrame);
  int running = 0;
  ASSERT_TRUE(CMC_Comm::ArmScope({{"THTST"}, 1, 1, 100, true, std::nullopt})) << CMC_Comm::GetLastErrorText();
  for (const auto& [advance_ms, frames, stillRunning] : {std::tuple{50, 0, 1}, {20, 1, 1}, {40, 1, 0}}) {
    loop_.AdvanceBy(ui::Milliseconds(advance_ms));
    EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), frames) << advance_ms;
    ASSERT_TRUE(CMC_Comm::GetScopeRunning(running));
    EXPECT_EQ(running, stillRunning) << advance_ms;
  }
  ASSERT_EQ(g_frames.size(), 2u);
  EXPECT_EQ(g_frames[0][0], 64);
  EXPECT_EQ(g_frames[1][0], 38);
  EXPECT_EQ(g_frames[1][3], 63);
  EXPECT_FALSE(CMC_Comm::ArmScope({{"IQ", "Bogus"}, 1, 1, 200, true, std::nullopt}));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "The drive refused to arm the scope: the drive has no variable Bogus for the scope");
  CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous);
}

TEST(ScopeLink, OfflineEveryScopeOperationFailsNamingIt) {
  int running = 0;
  EXPECT_FALSE(CMC_Comm::ArmScope({{"IQ"}, 2, 1, 10, true, std::nullopt}));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot arm the scope");
  EXPECT_FALSE(CMC_Comm::DisarmScope());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot stop the scope");
  EXPECT_FALSE(CMC_Comm::GetScopeRunning(running));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "No drive is connected: cannot read the scope state");
}

constexpr const char* kProgram = "IE_Current_Controller_Tuning_Test";

// fault, image loads, the variable the image lacks, test_flag after the run (0: no value)
using ProgramFaultCase = std::tuple<const char*, bool, const char*, double>;
class ProgramFault : public LinkedDrive, public ::testing::WithParamInterface<ProgramFaultCase> {};

// The current step at 1.5 A with a loose protection, run to its end: test_flag 1.
TEST_P(ProgramFault, ShowsInTheImageTheLaunchAndTheOutputs) {
  const auto [fault, loads, lacking, testFlag] = GetParam();
  const auto directory = std::filesystem::temp_directory_path() / ("kestrel_faults_" + std::to_string(getpid()));
  ASSERT_TRUE(*fault == '\0' || link_->SimulatedDrive().InjectFault(fault).ok());
  WriteProgramImages(directory, link_->SimulatedDrive().InjectedFaults());
  drivebase::SetProgramDirectory(directory);
  CMC_CoffFormat image;
  image.SetFileName(drivebase::ProgramImagePath(kProgram).string());
  EXPECT_EQ(image.ReadCoff(), loads) << image.GetLoadError();
  std::string error;
  for (const auto& [name, value] : {std::pair{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}}) {
    EXPECT_EQ(drivebase::SetUserVariable(image, name, value, error), loads && name != std::string(lacking)) << name;
  }
  EXPECT_EQ(drivebase::ExecuteProgram(setup_, kProgram, loads ? &image : nullptr, nullptr), loads)
      << CMC_Comm::GetLastErrorText();
  loop_.AdvanceBy(ui::Milliseconds(3000));
  double value = 0;
  EXPECT_EQ(drivebase::GetUserVariable(image, "test_flag", value, error), loads) << error;
  EXPECT_EQ(value, loads ? testFlag : 0);
  drivebase::SetProgramDirectory({});
  std::filesystem::remove_all(directory);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProgramFault,
    ::testing::Values(ProgramFaultCase{"", true, "", 1.0},
                      ProgramFaultCase{"program_lacks IE_Current_Controller_Tuning_Test RIncTest", true, "RIncTest", 1.0},
                      ProgramFaultCase{"program_skips IE_Current_Controller_Tuning_Test test_flag", true, "",
                                       drivebase::kNoValue},
                      ProgramFaultCase{"program_missing IE_Current_Controller_Tuning_Test", false, "", 0.0}));

}  // namespace
}  // namespace drivesim::link
