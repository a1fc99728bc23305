#include "commissioning/test_catalogue.h"

#include <array>
#include <stdexcept>
#include <string>

#include "commissioning/test_current.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/my_setup_dlg.h"
#include "dialogs/setup_values.h"
#include "dialogs/test_maker.h"
#include "ui/template_library.h"

namespace kestrel {
namespace resources {
std::string_view DialogTemplate101();
}  // namespace resources

namespace {

constexpr std::array kTests{
    CommissioningTest{"current", "Current Controller Tuning Test"},
};

}  // namespace

std::span<const CommissioningTest> CommissioningTests() { return kTests; }

bool IsCommissioningTestName(std::string_view name) {
  for (const CommissioningTest& test : kTests) {
    if (dialogs::SameName(test.name, name)) return true;
  }
  return false;
}

void RegisterTestTemplates() {
  static const bool registered = [] {
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(resources::DialogTemplate101(), "resources/dialogs/101.json"));
    return true;
  }();
  (void)registered;
}

void RegisterCommissioningTests() {
  RegisterTestTemplates();
  SetTestMaker([](CMC_Setup* setup, std::string_view name, CWnd* parent) -> std::unique_ptr<CDialog> {
    return MakeCommissioningTest(setup, name, parent);
  });
}

std::unique_ptr<CMyTestDlg> MakeCommissioningTest(CMC_Setup* setup, std::string_view name, CWnd* parent) {
  RegisterTestTemplates();
  if (dialogs::SameName(name, "current")) return std::make_unique<CTestCurrent>(setup, parent);
  throw std::invalid_argument("no commissioning test named '" + std::string(name) + "'");
}

bool UsesSinusoidalVoltage(std::string_view name) { return dialogs::SameName(name, "current"); }

int RunTestAlone(CMC_Setup* setup, std::string_view name) {
  if (!IsCommissioningTestName(name)) throw std::invalid_argument("no commissioning test named '" + std::string(name) + "'");
  RegisterDialogTemplates();
  return RunChildDialog(
      setup, [&] { return MakeCommissioningTest(setup, name, nullptr); }, UsesSinusoidalVoltage(name));
}

}  // namespace kestrel
