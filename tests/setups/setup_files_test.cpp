// Every setup in setups/ is valid, stored in the canonical form that the program writes, and
// survives a save and a load bit for bit.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "drivebase/setup_file.h"

namespace kestrel {
namespace {

std::vector<std::string> SetupFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(KESTREL_SETUPS_DIR)) {
    if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Text(const std::string& name) {
  std::ifstream file(std::filesystem::path(KESTREL_SETUPS_DIR) / (name + ".json"), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class SetupFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(SetupFileTest, IsValidAndCanonical) {
  const std::string text = Text(GetParam());
  ASSERT_EQ(drivebase::CheckSetupText(text), std::vector<std::string>());
  const CMC_Setup setup = drivebase::ParseSetup(text, GetParam());
  EXPECT_EQ(drivebase::SerializeSetup(setup), text);
}

INSTANTIATE_TEST_SUITE_P(Setups, SetupFileTest, ::testing::ValuesIn(SetupFiles()),
                         [](const auto& test) { return test.param; });

TEST(SetupFiles, CoverEverySensorFamily) {
  EXPECT_EQ(SetupFiles(), (std::vector<std::string>{"biss", "default", "dual_loop", "linear",
                                                     "linear_hall", "minimal", "resolver",
                                                     "sincos", "ssi"}));
}

}  // namespace
}  // namespace kestrel
