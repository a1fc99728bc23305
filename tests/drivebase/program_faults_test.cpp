// Program faults as the host meets them: images written as the faulty drive holds its programs,
// a variable an image lacks, an output never written, a program the drive lacks.
#include <unistd.h>

#include <gtest/gtest.h>

#include "drivebase/program_launch.h"
#include "drivesim_link/program_images.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

constexpr const char* kProgram = "IE_Current_Controller_Tuning_Test";

// fault, image loads, the variable the image lacks, test_flag after the run (0: no value)
using ProgramFaultCase = std::tuple<const char*, bool, const char*, double>;
class ProgramFault : public ::testing::TestWithParam<ProgramFaultCase> {};

// The current step at 1.5 A with a loose protection, run to its end: test_flag 1.
TEST_P(ProgramFault, ShowsInTheImageTheLaunchAndTheOutputs) {
  const auto [fault, loads, lacking, testFlag] = GetParam();
  ui::EventLoop loop{ui::DefaultMessageBoxes()};
  ui::SetCurrentEventLoop(&loop);
  DialogClock clock;
  const CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::unique_ptr<SimulatorLink> link = ConnectSimulator(setup, {}, clock);
  CMC_Comm::SetActiveLink(link.get());
  const auto directory = std::filesystem::temp_directory_path() / ("kestrel_faults_" + std::to_string(getpid()));
  ASSERT_TRUE(*fault == '\0' || link->SimulatedDrive().InjectFault(fault).ok());
  WriteProgramImages(directory, link->SimulatedDrive().InjectedFaults());
  drivebase::SetProgramDirectory(directory);
  CMC_CoffFormat image;
  image.SetFileName(drivebase::ProgramImagePath(kProgram).string());
  EXPECT_EQ(image.ReadCoff(), loads) << image.GetLoadError();
  std::string error;
  for (const auto& [name, value] : {std::pair{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}}) {
    EXPECT_EQ(drivebase::SetUserVariable(image, name, value, error), loads && name != std::string(lacking)) << name;
  }
  EXPECT_EQ(drivebase::ExecuteProgram(setup, kProgram, loads ? &image : nullptr, nullptr), loads)
      << CMC_Comm::GetLastErrorText();
  loop.AdvanceBy(ui::Milliseconds(3000));
  double value = 0;
  EXPECT_EQ(drivebase::GetUserVariable(image, "test_flag", value, error), loads) << error;
  EXPECT_EQ(value, loads ? testFlag : 0);
  drivebase::SetProgramDirectory({});
  std::filesystem::remove_all(directory);
  CMC_Comm::SetActiveLink(nullptr);
  ui::SetCurrentEventLoop(nullptr);
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
