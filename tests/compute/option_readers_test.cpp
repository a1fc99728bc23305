#include "compute/option_readers.h"

#include <gtest/gtest.h>

#include "compute_test_setup.h"
#include "reported_errors.h"

namespace kestrel {
namespace {

struct ReaderCase {
  const char* text;  // null: the option is absent
  int maxFilters, programmable, flag;
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
  *out << (c.text == nullptr ? "absent" : '"' + std::string(c.text) + '"');
}

class OptionReaders : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(OptionReaders, ReadTheOptionSilently) {
  test_support::ReportedErrors reported;
  CMC_Setup setup;
  if (GetParam().text != nullptr) {
    for (const char* name : {"MaxFilters", "IsInputsTypeProgrammable", "PMSMStartwithHalls",
                             "NewDeadBand", "hasNegTransmission", "hideEnablePolarity"}) {
      setup.SetOption(name, GetParam().text);
    }
  }
  EXPECT_EQ(GetMaxFilters(&setup), GetParam().maxFilters);
  EXPECT_EQ(GetInputsTypeProgrammable(&setup), GetParam().programmable);
  EXPECT_EQ(IsPMSMStartwithHalls(&setup), GetParam().flag);
  EXPECT_EQ(IsNewDeadBand(&setup), GetParam().flag);
  EXPECT_EQ(HasNegTransmission(&setup), GetParam().flag);
  EXPECT_EQ(IsEnablePolarityHidden(&setup), GetParam().flag);
  EXPECT_TRUE(reported.empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, OptionReaders,
                         ::testing::Values(ReaderCase{nullptr, 10, -1, 0},
                                           ReaderCase{"", 10, -1, 0},  // empty counts as unset
                                           ReaderCase{"0", 0, 0, 0}, ReaderCase{"1", 1, 1, 1},
                                           ReaderCase{"12", 12, 12, 0}, ReaderCase{"1 (on)", 1, 1, 1},
                                           ReaderCase{"yes", 0, 0, 0}));

TEST(OptionalParameters, AbsentOnesReadAsTheirDefaultWithoutAReport) {
  test_support::ReportedErrors reported;
  CMC_Setup setup;
  EXPECT_EQ(GetAbsoluteStartMinMovePercent(&setup), 60.0);
  EXPECT_EQ(GetFastLoopMinPeriod(&setup), 0.0);
  EXPECT_EQ(GetSlowLoopMinPeriod(&setup), 0.0);
  EXPECT_FALSE(HasLinearAbsoluteEncoders(&setup));
  EXPECT_FALSE(HasI2tWarning(&setup));
  EXPECT_FALSE(HasAnalogueInput(&setup));
  EXPECT_TRUE(reported.empty());

  test_support::Put(setup, {{"ABSTART_MINMOVE_PERCENT", 45}, {"Ts_C_min", 5e-5}, {"Ts_S_min", 2.5e-4},
                            {"SSI_Resolution", 1e-6}, {"II2TWARLIM_D", 0}, {"CADIN", 0}});
  EXPECT_EQ(GetAbsoluteStartMinMovePercent(&setup), 45.0);
  EXPECT_EQ(GetFastLoopMinPeriod(&setup), 5e-5);
  EXPECT_EQ(GetSlowLoopMinPeriod(&setup), 2.5e-4);
  EXPECT_FALSE(HasLinearAbsoluteEncoders(&setup)) << "both of the pair are needed";
  EXPECT_FALSE(HasI2tWarning(&setup));
  EXPECT_FALSE(HasAnalogueInput(&setup)) << "the drive variable CADIN is missing";
  test_support::Put(setup, {{"SSI_Resolution_LD", 1e-6}, {"I2TWARLIM_M", 0}});
  setup.AddVariable({"CADIN", drivebase::kSigned16, "", false, 0});
  EXPECT_TRUE(HasLinearAbsoluteEncoders(&setup));
  EXPECT_TRUE(HasI2tWarning(&setup));
  EXPECT_TRUE(HasAnalogueInput(&setup));
  EXPECT_TRUE(reported.empty());

  setup.GetParameterValueInBaseUnit("START_POS");  // a required lookup does report
  EXPECT_EQ(reported, std::vector<std::string>{"parameter 'START_POS' does not exist in the setup"});
}

}  // namespace
}  // namespace kestrel
