#include "drivebase/comm.h"

#include <functional>

#include <gtest/gtest.h>

#include "drivebase/program_launch.h"
#include "drivebase/setup.h"
#include "fake_scale.h"
#include "memory_drive.h"

namespace drivebase {
namespace {

using test_support::Connected;
using test_support::MemoryDrive;
using test_support::Spec;

struct OfflineCase {
  const char* attempt;
  std::function<bool(CMC_Setup&)> access;
  const char* error;
};

class OfflineAccess : public ::testing::TestWithParam<OfflineCase> {};

// Every access fails while no drive is connected, and the error names what was attempted.
TEST_P(OfflineAccess, FailsNamingTheAttempt) {
  CMC_Comm::SetActiveLink(nullptr);
  CMC_Setup setup;
  setup.AddParameter(Spec("PWMPER", kUnsigned16, "", false, 1000));
  setup.AddVariable(Spec("MER", kUnsigned16, "", false, 3));
  EXPECT_FALSE(GetParam().access(setup));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), GetParam().error);
  EXPECT_EQ(setup.FindVariable("MER")->GetValueInInternalUnit(), 3.0) << "a failed read keeps the value";
}

// What the offline calls would fill in.
int axisState = 7;
double programValue = 0;
std::vector<LoggedPoint> loggedPoints;

INSTANTIATE_TEST_SUITE_P(
    Comm, OfflineAccess,
    ::testing::Values(
        OfflineCase{"read", [](CMC_Setup& s) { return s.FindVariable("MER")->ReadFromChip(); },
                    "No drive is connected: cannot read 'MER'"},
        OfflineCase{"write_variable", [](CMC_Setup& s) { return s.FindVariable("MER")->WriteToChip(); },
                    "No drive is connected: cannot write 'MER'"},
        OfflineCase{"write_register", [](CMC_Setup& s) { return s.FindParameter("PWMPER")->WriteToChip(); },
                    "No drive is connected: cannot write 'PWMPER'"},
        OfflineCase{"launch", [](CMC_Setup& s) { return ExecuteProgram(s, "IE_VDC_Detection_Test", nullptr, nullptr); },
                    "No drive is connected: cannot launch the program 'IE_VDC_Detection_Test'"},
        OfflineCase{"command", [](CMC_Setup& s) { return s.ExecuteString("!CAP;ENCAPI1;"); },
                    "No drive is connected: cannot send the command '!CAP;ENCAPI1;'"},
        OfflineCase{"reset", [](CMC_Setup&) { return CMC_Comm::ResetActiveBoard(); },
                    "No drive is connected: cannot reset the drive"},
        OfflineCase{"axis", [](CMC_Setup&) { return CMC_Comm::GetAxisOn(axisState); },
                    "No drive is connected: cannot read the axis state"},
        OfflineCase{"stop", [](CMC_Setup&) { return CMC_Comm::StopProgram(); },
                    "No drive is connected: cannot stop the program"},
        OfflineCase{"upload", [](CMC_Setup&) { return CMC_Comm::UploadLog(loggedPoints); },
                    "No drive is connected: cannot upload the logged data"},
        OfflineCase{"unsolicited", [](CMC_Setup&) { return CMC_Comm::CheckForUnrequestedMessages() >= 0; },
                    "No drive is connected: cannot receive unsolicited messages"},
        OfflineCase{"program_variable",
                    [](CMC_Setup&) { return CMC_Comm::ReadProgramVariable("STARTED", programValue); },
                    "No drive is connected: cannot read the program variable 'STARTED'"}),
    [](const auto& param) { return std::string(param.param.attempt); });

TEST(Comm, ValuesTravelInInternalUnitsWithTheirSize) {
  MemoryDrive drive;
  const Connected connected(drive);
  CMC_Setup setup = test_support::ScaledSetup();
  const CMC_Parameter& limit = setup.AddParameter(Spec("ERRMAXL", kUnsigned32, "", false, 70000));
  ASSERT_TRUE(limit.WriteToChip());
  EXPECT_EQ(drive.values["ERRMAXL"], std::make_pair(70000.0, 2));

  CMC_Variable& current = setup.AddVariable(Spec("IQ", kSigned16, "A", true));
  drive.values["IQ"] = {1500.0, 1};
  ASSERT_TRUE(current.ReadFromChip());
  EXPECT_EQ(current.GetValueInBaseUnit(), 1.5);

  const CMC_Variable& refused = setup.AddVariable(Spec("READONLY", kUnsigned16));
  EXPECT_FALSE(refused.WriteToChip());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "drive refused 'READONLY'");

  int on = 0;
  EXPECT_FALSE(CMC_Comm::GetAxisOn(on)) << "a link that offers values only refuses the rest";
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "The memory drive cannot read the axis state");
}

// The drive answers words as signed numbers; unsigned variables read their bits unsigned.
TEST(Comm, UnsignedVariablesReadTheirWordsUnsigned) {
  MemoryDrive drive;
  const Connected connected(drive);
  CMC_Setup setup;
  CMC_Variable& errors = setup.AddVariable(Spec("MER", kUnsigned16));
  CMC_Variable& wide = setup.AddVariable(Spec("POSOKLIM", kUnsigned32));
  CMC_Variable& signedWord = setup.AddVariable(Spec("THTST", kSigned16));
  drive.values["MER"] = {-32766.0, 1};           // 0x8002
  drive.values["POSOKLIM"] = {-2147483648.0, 2};  // 0x80000000
  drive.values["THTST"] = {-16383.0, 1};
  ASSERT_TRUE(errors.ReadFromChip() && wide.ReadFromChip() && signedWord.ReadFromChip());
  EXPECT_EQ(errors.GetValueInInternalUnit(), 0x8002);
  EXPECT_EQ(wide.GetValueInInternalUnit(), 2147483648.0);
  EXPECT_EQ(signedWord.GetValueInInternalUnit(), -16383.0);
}

std::vector<std::uint16_t> g_received;
int Record(const std::uint16_t* message) {
  g_received.assign(message, message + 3 + message[0]);
  return message[2];
}
int Other(const std::uint16_t*) { return 0; }

TEST(Comm, UnsolicitedMessagesReachTheRegisteredHandler) {
  MemoryDrive drive;
  const Connected connected(drive);
  EXPECT_EQ(CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(&Other), nullptr);
  EXPECT_EQ(CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(&Record), &Other) << "returns the previous handler";
  drive.pending = {{2, 1, 0xE900, 7, 8}, {5, 1, 0xE900, 1}};  // the second lies about its length
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 1);
  EXPECT_EQ(g_received, (std::vector<std::uint16_t>{2, 1, 0xE900, 7, 8}));
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 0);
  EXPECT_EQ(CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(nullptr), &Record);
  drive.pending = {{0, 1, 0xE900}};
  EXPECT_EQ(CMC_Comm::CheckForUnrequestedMessages(), 0) << "without a handler messages are dropped";
}

}  // namespace
}  // namespace drivebase
