// libkestrel.so as the host sees it: loaded with dlopen, five exports and nothing else.
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"
#include "ui/script.h"
#include "ui/session.h"

namespace kestrel {
namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only --format=posix " + library;
  FILE* pipe = ::popen(command.c_str(), "r");
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    const std::string text = line;
    names.insert(text.substr(0, text.find(' ')));
  }
  EXPECT_EQ(::pclose(pipe), 0) << command;
  return names;
}

TEST(PluginExports, ExactlyTheFourFunctionsAndTheFlag) {
  EXPECT_EQ(DefinedDynamicSymbols(KESTREL_PLUGIN),
            (std::set<std::string>{"ComputeAllOptions", "EditSetup", "GetScaleFactor",
                                   "GetScaleOffset", "g_bKufSinusoidalMode"}));
}

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = ::dlopen(KESTREL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << ::dlerror();
    editSetup = reinterpret_cast<int (*)(CMC_Setup*)>(::dlsym(handle_, "EditSetup"));
    computeAllOptions = reinterpret_cast<void (*)(CMC_Setup*)>(::dlsym(handle_, "ComputeAllOptions"));
    scaleFactor = reinterpret_cast<drivebase::ScaleFunction>(::dlsym(handle_, "GetScaleFactor"));
    scaleOffset = reinterpret_cast<drivebase::ScaleFunction>(::dlsym(handle_, "GetScaleOffset"));
    sinusoidalMode = static_cast<int*>(::dlsym(handle_, "g_bKufSinusoidalMode"));
    ASSERT_TRUE(editSetup && computeAllOptions && scaleFactor && scaleOffset && sinusoidalMode);
  }
  void TearDown() override {
    if (handle_ != nullptr) ::dlclose(handle_);
  }

  void* handle_ = nullptr;
  int (*editSetup)(CMC_Setup*) = nullptr;
  void (*computeAllOptions)(CMC_Setup*) = nullptr;
  drivebase::ScaleFunction scaleFactor = nullptr;
  drivebase::ScaleFunction scaleOffset = nullptr;
  int* sinusoidalMode = nullptr;
};

TEST_F(LoadedPlugin, FlagIsZeroWhenTheLibraryLoads) {
  EXPECT_EQ(*sinusoidalMode, 0);
  *sinusoidalMode = 1;
  ::dlclose(handle_);
  handle_ = ::dlopen(KESTREL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle_, nullptr);
  EXPECT_EQ(*static_cast<int*>(::dlsym(handle_, "g_bKufSinusoidalMode")), 0);
}

// (The exported scale functions as kestrel scale shows them: tests/app/cli_test.cpp.)
TEST_F(LoadedPlugin, FlagSwitchesTheVoltageScale) {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetParameterValueInBaseUnit("CommutationMethod", 0);
  EXPECT_DOUBLE_EQ(scaleFactor(&setup, "V", "Voltage_Reference"), 48.0 / 32767.0);
  *sinusoidalMode = 1;
  EXPECT_DOUBLE_EQ(scaleFactor(&setup, "V", "Voltage_Reference"), 1.1 * 48.0 / 65534.0);
  *sinusoidalMode = 0;
}

TEST_F(LoadedPlugin, ComputeAllOptionsRunsItsStagesOnASetup) {
  computeAllOptions(nullptr);  // nothing to do, nothing to crash
  CMC_Setup setup = drivebase::ReadSetupFile(std::string(KESTREL_SETUPS_DIR) + "/linear.json");
  setup.SetScaleFunctions({scaleFactor, scaleOffset});
  setup.FindParameter("ERR_position")->SetMaxInBaseUnit(1.0);
  setup.ClearOption("ReferenceName");
  setup.FindVariable("APOS")->ChangeUnitType("rot");
  computeAllOptions(&setup);
  // Limits: 32767 counts of a 1 um encoder; options: a linear motor with an incremental
  // encoder; units: the linear load's positions in mm.
  EXPECT_DOUBLE_EQ(setup.FindParameter("ERR_position")->GetMaxInBaseUnit(), 0.032767);
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), "KSTB");
  EXPECT_EQ(setup.FindVariable("APOS")->GetUnitName(), "mm");
}

// EditSetup runs Drive Setup, which opens Motor Setup by itself; 1 after OK, 0 after Cancel
// with the setup as it was.
struct EditRun {
  const char* name;
  const char* script;
  int result;
};

class EditSetupRuns : public LoadedPlugin, public ::testing::WithParamInterface<EditRun> {};

TEST_P(EditSetupRuns, ReturnWhetherTheUserConfirmed) {
  ui::HeadlessSession session;
  ui::ScriptAgent user(ui::Script::Parse(GetParam().script, GetParam().name));
  session.Use(user);
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetScaleFunctions({scaleFactor, scaleOffset});
  EXPECT_EQ(editSetup(&setup), GetParam().result);
  user.CheckFinished(session.Loop());
  if (GetParam().result == 0) {
    EXPECT_EQ(drivebase::SerializeSetup(setup), DefaultSetupText());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Closes, EditSetupRuns,
    ::testing::Values(EditRun{"ok", "wait-until dialog \"Brushless Motor Setup\"\nclose ok\nclose ok\n", 1},
                      EditRun{"cancel", "wait-until dialog \"Brushless Motor Setup\"\ntype 1159 \"2\"\nclose ok\n"
                                        "click 1060\nclose cancel\n", 0}),
    [](const ::testing::TestParamInfo<EditRun>& run) { return std::string(run.param.name); });

TEST_F(LoadedPlugin, EditSetupOfNoSetupConfirmsNothing) { EXPECT_EQ(editSetup(nullptr), 0); }

}  // namespace
}  // namespace kestrel
