// What the test dialog base does with the drive, on a drive in memory where faults are forced.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kestrel/default_setup.h"
#include "memory_drive.h"
#include "probe_test_dlg.h"

namespace testing_test {
namespace {

using drivebase::test_support::Connected;
using ::testing::HasSubstr;

// Launches that fail name the cause in the communication error text.
TEST(TestDrive, AFailedLaunchSaysWhy) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  drivebase::test_support::MemoryDrive drive;
  ProbeTestDlg missing(&setup, "IE_No_Such_Program");
  ProbeTestDlg probe(&setup, "IE_Initial_Positioning_Test");
  EXPECT_EQ(probe.ExecuteCode(probe.program, &probe.image, nullptr, nullptr, nullptr), 0);
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("No drive is connected"));
  const Connected connected(drive);
  EXPECT_EQ(missing.ExecuteCode(missing.program, &missing.image, nullptr, nullptr, nullptr), 0);
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("program image is not loaded"));
  EXPECT_EQ(probe.ExecuteCode("", nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(probe.ExecuteCode(probe.program, &probe.image, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(drive.launches.size(), 1u);
}

// After the launch the program's variables are read from the drive as they are: an output the
// program never wrote reads as the no-value 1.2345e100, not as a failure.
TEST(TestDrive, ReadsProgramVariablesAsTheDriveHoldsThem) {
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  drivebase::test_support::MemoryDrive drive;
  const Connected connected(drive);
  ProbeTestDlg probe(&setup, "IE_Initial_Positioning_Test");
  std::string error;
  ASSERT_EQ(probe.SetUserVariableValue(&probe.image, "In1", 4910, error), 1) << error;
  ASSERT_EQ(probe.ExecuteCode(probe.program, &probe.image, nullptr, nullptr, nullptr), 1);
  drive.memory["STARTED"] = drivebase::kNoValue;
  double value = 0;
  EXPECT_EQ(probe.GetUserVariableValue(&probe.image, "In1", value, error), 1);
  EXPECT_EQ(value, 4910);
  EXPECT_EQ(probe.GetUserVariableValue(&probe.image, "STARTED", value, error), 1);
  EXPECT_EQ(value, 1.2345e100);
  EXPECT_EQ(probe.GetUserVariableValue(&probe.image, "NoSuch", value, error), 0);
  EXPECT_THAT(error, HasSubstr("'NoSuch'"));
  EXPECT_EQ(probe.SetUserVariableValue(nullptr, "In1", 1, error), 0);
  int on = 1;
  EXPECT_EQ(probe.GetAxisOn(on), 0) << "the memory drive cannot say";
}

}  // namespace
}  // namespace testing_test
