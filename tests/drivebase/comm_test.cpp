#include "drivebase/comm.h"

#include <map>

#include <gtest/gtest.h>

#include "drivebase/setup.h"
#include "fake_scale.h"

namespace drivebase {
namespace {

using test_support::Spec;

TEST(Comm, EveryAccessFailsWhileNoDriveIsConnected) {
  CMC_Comm::SetActiveLink(nullptr);
  CMC_Setup setup;
  const CMC_Parameter& pwm = setup.AddParameter(Spec("PWMPER", kUnsigned16, "", false, 1000));
  CMC_Variable& error = setup.AddVariable(Spec("MER", kUnsigned16, "", false, 3));
  EXPECT_FALSE(pwm.WriteToChip());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(),
               "Communication error: no drive is connected (writing 'PWMPER')");
  EXPECT_FALSE(error.ReadFromChip());
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(),
               "Communication error: no drive is connected (reading 'MER')");
  EXPECT_EQ(error.GetValueInInternalUnit(), 3.0);
}

// A drive that holds values by name and refuses names it does not know.
class MemoryDrive : public DriveLink {
 public:
  bool WriteValue(std::string_view name, double internal, int words) override {
    if (name == "READONLY") return Refuse(name);
    values[std::string(name)] = {internal, words};
    return true;
  }
  bool ReadValue(std::string_view name, int, double& internal) override {
    const auto it = values.find(std::string(name));
    if (it == values.end()) return Refuse(name);
    internal = it->second.first;
    return true;
  }
  std::string LastError() const override { return last; }

  std::map<std::string, std::pair<double, int>> values;
  std::string last;

 private:
  bool Refuse(std::string_view name) {
    last = "drive refused '" + std::string(name) + "'";
    return false;
  }
};

TEST(Comm, ValuesTravelInInternalUnitsWithTheirSize) {
  MemoryDrive drive;
  CMC_Comm::SetActiveLink(&drive);
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
  CMC_Comm::SetActiveLink(nullptr);
}

}  // namespace
}  // namespace drivebase
