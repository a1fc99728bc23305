// A headless session with the probe dialog on the probe setup, and a test user to drive it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/error_report.h"
#include "probe_dialog.h"
#include "ui/condition.h"
#include "ui/dialog_driver.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace editbase_test {

// Names parameterised cases by their `name` field.
struct ByName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
    return param.param.name;
  }
};

// The user's data folder ($XDG_DATA_HOME) in a temporary folder of its own while it lives.
class UserDataFolder {
 public:
  UserDataFolder() {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    setenv("XDG_DATA_HOME", path.c_str(), 1);
  }
  ~UserDataFolder() {
    unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(path);
  }
  UserDataFolder(const UserDataFolder&) = delete;
  UserDataFolder& operator=(const UserDataFolder&) = delete;

  // One folder per process: ctest runs the cases side by side.
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("kestrel-editbase-data-" + std::to_string(::getpid()));
};

class ProbeTest : public ::testing::Test {
 protected:
  ProbeTest() {
    drivebase::SetErrorSink([this](const std::string& message) { errors.push_back(message); });
  }
  ~ProbeTest() override { drivebase::SetErrorSink({}); }

  int Run() { return ui::RunWithAgent(dialog, user); }
  double Value(const char* name) const { return setup.GetParameterValueInBaseUnit(name); }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const ui::MessageBoxRecord& box : session.MessageBoxes().Shown()) texts.push_back(box.text);
    return texts;
  }

  std::vector<std::string> errors;
  ui::HeadlessSession session;
  ui::TestAgent user;
  CMC_Setup setup = ProbeSetup();
  ProbeDlg dialog{&setup};
};

}  // namespace editbase_test
