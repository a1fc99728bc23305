// The commissioning tests by name, and a test opened on its own the way the button of its setup
// dialog opens it (for kestrel test and the automated tests).
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "commissioning/my_test_dlg.h"

namespace kestrel {

struct CommissioningTest {
  std::string_view name, title;
  bool sinusoidalVoltage = false;  // the voltage scale takes its sinusoidal form while it is open
  std::unique_ptr<CMyTestDlg> (*make)(CMC_Setup* setup, CWnd* parent) = nullptr;
};

// The tests, in the order kestrel test --list shows them.
std::span<const CommissioningTest> CommissioningTests();
bool IsCommissioningTestName(std::string_view name);

// Adds the templates of the tests to the process's template library; later calls change nothing.
void RegisterTestTemplates();
// The templates, and the catalogue handed to the dialogs, so that Drive Setup's buttons open the
// tests (what the plug-in does before it shows Drive Setup).
void RegisterCommissioningTests();

// The named test on the setup (its template registered); std::invalid_argument for a name the catalogue lacks.
std::unique_ptr<CMyTestDlg> MakeCommissioningTest(CMC_Setup* setup, std::string_view name, CWnd* parent);
// Whether the voltage scale takes its sinusoidal form while the test is open.
bool UsesSinusoidalVoltage(std::string_view name);

// Runs the named test as its opener's button does: both parameter layers brought to agree, the
// test built, run modally and destroyed (with the sinusoidal voltage scale while it runs where
// the test asks for it), and after IDOK both layers again. Returns the end code; throws
// std::invalid_argument for an unknown name.
int RunTestAlone(CMC_Setup* setup, std::string_view name);

}  // namespace kestrel
