// The program catalogue: every prefix and _LIN variant of the commissioning tests' programs,
// each with STARTED and the variables the tests write and read.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "drivesim/catalogue.h"

namespace drivesim {
namespace {

std::vector<std::string> VariableNames(const ProgramDescriptor& d) {
  std::vector<std::string> names;
  for (const ProgramVariable& v : d.variables) names.push_back(v.name);
  return names;
}

TEST(Catalogue, HoldsEveryPrefixAndLinearVariantOfItsPrograms) {
  std::vector<std::string> names;
  for (const ProgramDescriptor& d : ProgramCatalogue()) names.push_back(d.name);
  const std::vector<std::string> expected = {
      "IE_Initial_Positioning_Test", "IE_Initial_Positioning_Test_LIN", "IE_Current_Controller_Tuning_Test",
      "IE_Current_Controller_Tuning_Test_LIN", "IE_Speed_Controller_Tuning_Test",
      "IE_Speed_Controller_Tuning_Test_LIN", "IE_Position_Controller_Tuning_Test_with_SpdCtrl",
      "IE_Position_Controller_Tuning_Test_with_SpdCtrl_LIN", "IE_Position_Controller_Tuning_Test_without_SpdCtrl",
      "IE_Position_Controller_Tuning_Test_without_SpdCtrl_LIN", "IE_Total_Inertia_Identification_Test",
      "IE_Total_Mass_Identification_Test", "SC_Initial_Positioning_Test", "SC_Current_Controller_Tuning_Test",
      "SC_Current_Controller_Tuning_Test_LIN", "SC_Speed_Controller_Tuning_Test",
      "SC_Position_Controller_Tuning_Test_with_SpdCtrl", "SC_Position_Controller_Tuning_Test_without_SpdCtrl",
      "SC_Total_Inertia_Identification_Test", "SC_Total_Mass_Identification_Test", "LH_Initial_Positioning_Test",
      "LH_Current_Controller_Tuning_Test", "LH_Speed_Controller_Tuning_Test",
      "LH_Position_Controller_Tuning_Test_with_SpdCtrl", "LH_Position_Controller_Tuning_Test_without_SpdCtrl",
      "LH_Total_Inertia_Identification_Test", "LH_Total_Mass_Identification_Test", "SSI_Initial_Positioning_Test",
      "SSI_Current_Controller_Tuning_Test", "SSI_Speed_Controller_Tuning_Test",
      "SSI_Position_Controller_Tuning_Test_with_SpdCtrl", "SSI_Position_Controller_Tuning_Test_without_SpdCtrl",
      "SSI_Total_Inertia_Identification_Test"};
  EXPECT_EQ(names, expected);
}

// Every program's table starts with STARTED; its variables are single int16 words, test_flag the
// current step's output. Lookup is by the exact full name.
TEST(Catalogue, VariableTablesAndLookup) {
  const ProgramDescriptor* current = FindProgram("SC_Current_Controller_Tuning_Test_LIN");
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(VariableNames(*current),
            (std::vector<std::string>{"STARTED", "RefTest", "RIncTest", "In1", "Imax_Prot_Test", "test_flag"}));
  for (const ProgramVariable& v : current->variables) {
    EXPECT_EQ(std::make_pair(v.type, v.size_words), std::make_pair(VariableType::int16, 1)) << v.name;
  }
  EXPECT_EQ(current->variables.back().direction, VariableDirection::output);
  const ProgramDescriptor* preliminary = FindProgram("SSI_Initial_Positioning_Test");
  ASSERT_NE(preliminary, nullptr);
  EXPECT_EQ(VariableNames(*preliminary), (std::vector<std::string>{"STARTED", "In1"}));
  EXPECT_EQ(FindProgram("ie_initial_positioning_test"), nullptr);
}

}  // namespace
}  // namespace drivesim
