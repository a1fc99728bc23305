// A headless session with the test dialog, and a test user to drive it.
#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "test_dialog.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "ui/test_agent.h"

namespace ui_test {

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { ui::DialogTemplates().AddDirectory(TestData() / "dialogs"); }

  int Run() { return ui::RunWithAgent(dialog, user); }

  // The message of the error that `run` throws; a marker when it throws none.
  template <class Error = ui::StepError>
  static std::string ErrorOf(const std::function<void()>& run) {
    try {
      run();
    } catch (const Error& error) {
      return error.what();
    }
    return "(no error)";
  }

  ui::HeadlessSession session;
  ui::TestAgent user;
  TestDialog dialog;
};

}  // namespace ui_test
