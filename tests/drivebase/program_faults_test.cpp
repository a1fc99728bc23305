// Program faults as the host meets them: images written as the faulty drive holds its programs,
// a variable an image lacks, an output the program never writes, a program the drive lacks.
#include <unistd.h>

#include <gtest/gtest.h>

#include "drivebase/program_launch.h"
#include "drivesim_link/program_images.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

using Ms = ui::Milliseconds;
constexpr const char* kProgram = "IE_Current_Controller_Tuning_Test";

struct ProgramFaultCase {
  const char* name;
  const char* fault;          // injected into the drive before its images are written
  bool imageLoads;
  const char* missingVariable;  // the image and the drive lack it; or empty
  bool testFlagHasValue;      // test_flag read after the run
};

class ProgramFault : public ::testing::TestWithParam<ProgramFaultCase> {
 protected:
  ProgramFault()
      : directory_(std::filesystem::temp_directory_path() / ("kestrel_program_faults_" + std::to_string(getpid()))) {
    ui::SetCurrentEventLoop(&loop_);
    link_ = ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(link_.get());
    drivebase::SetProgramDirectory(directory_);
  }
  ~ProgramFault() override {
    drivebase::SetProgramDirectory({});
    std::filesystem::remove_all(directory_);
    CMC_Comm::SetActiveLink(nullptr);
    ui::SetCurrentEventLoop(nullptr);
  }

  std::filesystem::path directory_;
  ui::EventLoop loop_{ui::DefaultMessageBoxes()};
  DialogClock clock_;
  CMC_Setup setup_ = kestrel::LoadDefaultSetup();
  std::unique_ptr<SimulatorLink> link_;
};

// The current step at In1 = 1.5 A with a loose protection, run to its end; test_flag is then 1,
// or no value (1.2345e100) when the program never writes it.
TEST_P(ProgramFault, ShowsInTheImageTheLaunchAndTheOutputs) {
  Drive& drive = link_->SimulatedDrive();
  if (*GetParam().fault != '\0') {
    ASSERT_TRUE(drive.InjectFault(GetParam().fault).ok());
  }
  WriteProgramImages(directory_, drive.InjectedFaults());
  CMC_CoffFormat image;
  image.SetFileName(drivebase::ProgramImagePath(kProgram).string());
  ASSERT_EQ(image.ReadCoff(), GetParam().imageLoads) << image.GetLoadError();
  if (!GetParam().imageLoads) {
    EXPECT_FALSE(drivebase::ExecuteProgram(setup_, kProgram, nullptr, nullptr));
    EXPECT_NE(std::string(CMC_Comm::GetLastErrorText()).find("has no program"), std::string::npos);
    return;
  }
  std::string error;
  for (const auto& [name, value] : {std::pair{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", 16000}}) {
    const bool written = drivebase::SetUserVariable(image, name, value, error);
    EXPECT_EQ(written, name != std::string(GetParam().missingVariable)) << name;
  }
  ASSERT_TRUE(drivebase::ExecuteProgram(setup_, kProgram, &image, nullptr)) << CMC_Comm::GetLastErrorText();
  loop_.AdvanceBy(Ms(3000));
  double testFlag = 0;
  ASSERT_TRUE(drivebase::GetUserVariable(image, "test_flag", testFlag, error)) << error;
  EXPECT_EQ(testFlag == drivebase::kNoValue, !GetParam().testFlagHasValue) << testFlag;
  if (GetParam().testFlagHasValue) {
    EXPECT_EQ(testFlag, 1);
  }
  double missing = 0;
  if (*GetParam().missingVariable != '\0') {
    EXPECT_FALSE(CMC_Comm::ReadProgramVariable(GetParam().missingVariable, missing));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProgramFault,
    ::testing::Values(ProgramFaultCase{"Sound", "", true, "", true},
                      ProgramFaultCase{"Lacks", "program_lacks IE_Current_Controller_Tuning_Test RIncTest", true,
                                       "RIncTest", true},
                      ProgramFaultCase{"Skips", "program_skips IE_Current_Controller_Tuning_Test test_flag", true, "",
                                       false},
                      ProgramFaultCase{"Missing", "program_missing IE_Current_Controller_Tuning_Test", false, "", false}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::link
