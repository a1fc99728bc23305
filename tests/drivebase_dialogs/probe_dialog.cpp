#include "probe_dialog.h"

#include "drivebase/parameter.h"
#include "drivebase/value_types.h"
#include "ui/template_library.h"

namespace editbase_test {
namespace {

void Add(CMC_Setup& setup, const char* name, int type, const char* unit, double value, double min, double max,
         int precision = 6) {
  drivebase::ParameterSpec spec;
  spec.name = name;
  spec.type = type;
  spec.unit = unit;
  spec.internal = value;
  spec.min = min;
  spec.max = max;
  spec.precision = precision;
  setup.AddParameter(spec);
}

}  // namespace

const char* const kSteps[3] = {"Step 1. Choose.", "Step 2. Check.", "Step 3. Save."};
const char* const kOtherSteps[2] = {"Step 1. Other mode.", "Step 2. Other mode."};

std::filesystem::path TestData() { return KESTREL_EDITBASE_TEST_DATA; }

CMC_Setup ProbeSetup() {
  CMC_Setup setup;
  Add(setup, "IlimPS", drivebase::kReal, "A", 3.2, 0.0, 10.0, 4);
  Add(setup, "time_AB", drivebase::kReal, "s", 0.5, 0.01, 655.35);
  Add(setup, "pp", drivebase::kUnsigned16, "", 4, 1, 128);
  Add(setup, "isOverCurrent", drivebase::kFlag, "", 1, 0, 1);
  Add(setup, "HALLCASE", drivebase::kChoice, "", 7, 2, 13);
  Add(setup, "ControlMode", drivebase::kChoice, "", 0, 0, 2);
  Add(setup, "DBTPC", drivebase::kReal, "%", 50, 0, 100);
  Add(setup, "No_encoder_lines", drivebase::kUnsigned32, "counts", 2000, 1, 1073741823);
  setup.SetDescription("probe drive");
  return setup;
}

CMC_Setup CanSetup(bool baudRate, bool canopen) {
  CMC_Setup setup = ProbeSetup();
  if (baudRate) Add(setup, "CAN_baudrate", drivebase::kUnsigned32, "", 500000, 0, 1e6);
  if (canopen) {
    Add(setup, "CANopen_heartbeat_time", drivebase::kReal, "s", 0.1, 0, 65.535);
    Add(setup, "CANopen_life_time_factor", drivebase::kUnsigned16, "", 3, 0, 255);
  }
  return setup;
}

ProbeDlg::ProbeDlg(CMC_Setup* setup)
    : CMC_EditSetupDlg(setup, kProbeTemplate, 0, kSteps, nullptr),
      equivalentCounts(setup->FindParameter("No_encoder_lines")->CopyAs("EquivCountsPerRev")) {
  ui::DialogTemplates().AddDirectory(TestData() / "dialogs");
  AddParameterControls("IlimPS", kCurrentEdit, kCurrentUnit);
  AddParameterControls("time_AB", kTimeEdit, kTimeUnit);
  AddParameterControls("pp", kPolePairsEdit);
  AddCheckParameterControls("isOverCurrent", kOverCurrentCheck);
  AddSwitchParameterControls("HALLCASE", kHallCaseCombo);
  AddSwitchParameterControls("ControlMode", kPositionRadio, kTorqueRadio);
  AddSliderParameterControls("DBTPC", kDeadBandSlider, kDeadBandEdit, kDeadBandLabel, kDeadBandFineSpin,
                             kDeadBandCoarseSpin, 0.0, 100.0);
  AddUserParameterControls(&equivalentCounts, kEquivalentEdit, kEquivalentUnit);
  EnableCANSettings();
}

bool ProbeDlg::OnInitDialog() {
  CMC_EditSetupDlg::OnInitDialog();
  auto* combo = static_cast<CComboBox*>(GetDlgItem(kHallCaseCombo));
  for (int hallCase = 2; hallCase <= 13; ++hallCase) {
    combo->SetItemData(combo->AddString(std::to_string(hallCase)), static_cast<std::uintptr_t>(hallCase));
  }
  RefreshParameterControls("HALLCASE");
  return true;
}

bool ProbeDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != kClearLog || HIWORD(wParam) != BN_CLICKED) return CMC_EditSetupDlg::OnCommand(wParam, lParam);
  log.clear();
  SetDlgItemText(kLogText, "");
  return true;
}

void ProbeDlg::Note(std::string entry) {
  log.push_back(std::move(entry));
  std::string shown;
  for (const std::string& e : log) shown += (shown.empty() ? "" : "; ") + e;
  if (GetSafeHwnd() != nullptr) SetDlgItemText(kLogText, shown);
}

void ProbeDlg::OnChangedParameterValue(const std::string& name) {
  Note("changed " + name);
  if (name == "ControlMode") {
    const bool position = GetSetup()->GetParameterValueInBaseUnit("ControlMode") == 0;
    SetGuidelineTable(position ? drivebase::GuidelineTable(kSteps) : drivebase::GuidelineTable(kOtherSteps));
  }
  if (reaction) reaction(*this, name);
}

void ProbeDlg::OnRefreshParameterValue(const std::string& name) {
  Note("refresh " + name + " (edit 2003 shows " + GetDlgItemText(kTimeEdit) + ")");
}

void ProbeDlg::OnChangedParameterUnit(const std::string& name) { Note("unit " + name); }

}  // namespace editbase_test
