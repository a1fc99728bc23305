#include "dialogs/analog_reference_dlg.h"

#include <cmath>

#include "compute/derivation.h"
#include "compute/option_readers.h"
#include "compute/parameter_limits.h"
#include "compute/setup_access.h"
#include "dialogs/control_rules.h"
#include "dialogs/setup_values.h"
#include "dialogs/test_maker.h"
#include "drivebase/gui_resources.h"
#include "ui/data_exchange.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::EnableAll;
using kestrel::dialogs::SameName;
using kestrel::dialogs::SetValue;
using kestrel::dialogs::ShowAll;
using kestrel::dialogs::Value;

namespace {

constexpr int kDigitalInputCombo = 3399;

// The reference range of a control mode: its maximum, minimum and the limit rule of both.
struct ReferenceRange {
  const char* max;
  const char* min;
  int (*limits)(CMC_Setup*);
  const char* maxLabel;
  const char* minLabel;
  unsigned bitmap;
};

constexpr ReferenceRange kRanges[] = {
    {"POS_max", "POS_min", &kestrel::LimitPositionReferenceRange, "Maximum Position", "Minimum Position", 3003},
    {"SPD_max", "SPD_min", &kestrel::LimitSpeedReferenceRange, "Maximum Speed", "Minimum Speed", 3044},
    {"CRT_max", "CRT_min", &kestrel::LimitCurrentReferenceRange, "Maximum Current", "Minimum Current", 3002},
};

// Position, speed, or (any other mode) current.
const ReferenceRange& RangeOf(const CMC_Setup* setup) {
  const int mode = Code(setup, "ControlMode");
  return kRanges[mode == 0 || mode == 1 ? mode : 2];
}

// The minimum of a pair is shown in the unit of its maximum, for which the dialog has a combo.
void CopyUnit(CMC_Setup* setup, const char* from, const char* to) {
  const CMC_Parameter* source = kestrel::FindOptionalParameter(setup, from);
  CMC_Parameter* target = kestrel::FindOptionalParameter(setup, to);
  if (source != nullptr && target != nullptr) target->ChangeUnitType(source->GetUnitName());
}

// The drive's feedback inputs as the digital-reference combo lists them.
class ComboInputs final : public kestrel::ConnectorList {
 public:
  explicit ComboInputs(CComboBox& combo) : combo_(combo) {}
  void Add(const std::string& name, int connector) override {
    combo_.SetItemData(combo_.AddString(name), static_cast<std::uintptr_t>(connector));
  }
  void Select(int connector) override {
    for (int i = 0; i < combo_.GetCount(); ++i) {
      if (combo_.GetItemData(i) == static_cast<std::uintptr_t>(connector)) combo_.SetCurSel(i);
    }
  }

 private:
  CComboBox& combo_;
};

}  // namespace

CAnalogReferenceDlg::CAnalogReferenceDlg(CMC_Setup* setup, CWnd* parent)
    : CMySetupDlg(setup, kTemplateId, 0, {}, parent) {
  const int mode = Code(setup, "ControlMode");
  const bool analogue = kestrel::HasAnalogueInput(setup);
  if (analogue) {
    const ReferenceRange& range = RangeOf(setup);
    CopyUnit(setup, range.max, range.min);
    AddParameterControls(range.max, 1006, 1015);
    AddParameterControls(range.min, 1008);
  }
  if (mode == 0 || mode == 1) AddCheckParameterControls("isLimitMaximum", 3116);
  if (mode == 0) {
    AddParameterControls("ErefMaxSpeed", 3302, 3136);
    AddParameterControls("ErefMaxAcceleration", 3304, 3137);
  } else if (mode == 1) {
    AddParameterControls("ErefMaxAcceleration", 3302, 3136);
  }
  if (analogue) {
    CopyUnit(setup, "DeadBand_Point", "DeadBand_Range");
    AddParameterControls("DeadBand_Point", 1010, 1016);
    AddParameterControls("DeadBand_Range", 1012);
  }
  AddSwitchParameterControls("isAnalogueReference", 3289, 3290);
  AddSwitchParameterControls("DigitalReferenceType", 3291, 3292);
  AddParameterControls("GEARMASTER", 3296);
  AddParameterControls("GEARSLAVE", 3295);
  if (analogue) {
    AddCheckParameterControls("UseFilter", 1001);
    AddParameterControls("filter", 1003, 1004);
  }
  AddSwitchParameterControls("DigitalReferenceConnector", kDigitalInputCombo);
  SetHelpContext(kHelpContext);
}

bool CAnalogReferenceDlg::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  ShowRangeLabels();
  ShowModeTexts();
  EnableChild(3290, kestrel::HasAnalogueInput(GetSetup()));
  FillDigitalInputs();
  UpdateData(false);
  return true;
}

// The input's voltage range: -10 ... 10 V, 0 ... 5 V or 0 ... 3.3 V.
void CAnalogReferenceDlg::ShowRangeLabels() {
  const double range = Value(GetSetup(), "AnalogueInputsRange");
  SetChildText(3328, range == 20 ? "-10" : "0");
  SetChildText(3327, range == 20 ? "10" : range == 5 ? "5" : "3.3");
  EnableChild(3327, false);
  EnableChild(3328, false);
}

void CAnalogReferenceDlg::ShowModeTexts() {
  const ReferenceRange& range = RangeOf(GetSetup());
  SetChildText(1007, range.maxLabel);
  SetChildText(1009, range.minLabel);
  SetChildBitmap(1014, drivebase::GuiModule::ResourceName(range.bitmap));
  SetLimitText();
  if (Code(GetSetup(), "ControlMode") >= 2) ShowAll(*this, {3116, 3302, 3136}, false);
}

// A position reference read from the analogue input limits the speed it may ask for; every other
// reference the acceleration.
void CAnalogReferenceDlg::SetLimitText() {
  const CMC_Setup* setup = GetSetup();
  const bool speed = Code(setup, "ControlMode") == 0 && Code(setup, "isAnalogueReference") == 1;
  SetChildText(3116, speed ? "Limit maximum speed at" : "Limit maximum acceleration at");
}

void CAnalogReferenceDlg::FillDigitalInputs() {
  CMC_Setup* setup = GetSetup();
  digitalInputs_.ResetContent();
  ComboInputs inputs(digitalInputs_);
  int noneFree = 0;
  FillDigitalReferenceConnectors(setup, &inputs, noneFree);
  noDigitalInput_ = noneFree != 0;
  RefreshParameterControls("DigitalReferenceConnector");
  RefreshParameterControls("isAnalogueReference");
}

void CAnalogReferenceDlg::DoDataExchange(CDataExchange* pDX) {
  CMySetupDlg::DoDataExchange(pDX);
  DDX_Control(pDX, kDigitalInputCombo, digitalInputs_);
  if (pDX->m_bSaveAndValidate) return;
  const CMC_Setup* setup = GetSetup();
  const int mode = Code(setup, "ControlMode");
  const bool a = Code(setup, "isAnalogueReference") == 1;
  const bool d = mode == 0 && !noDigitalInput_;
  const bool l = Code(setup, "isLimitMaximum") == 1 && mode < 2;
  ShowFilterFields();
  ShowAll(*this, {3302, 3136}, a && l);
  ShowAll(*this, {3304, 3137}, !a && l && mode == 0);
  EnableAll(*this, {1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1015, 1016, 1001, 1002, 1003, 1004, 1000, 3327, 3328},
            a);
  EnableAll(*this, {3291, 3292, 3294, 3295, 3296, 3297, 3298, 3299, 3300, 3399, 3400}, !a && d);
  EnableChild(3289, d && kestrel::GetIntOptionSilently(setup, "DisableExternalDigitalReference") == 0);
}

void CAnalogReferenceDlg::ShowFilterFields() {
  const CMC_Setup* setup = GetSetup();
  ShowAll(*this, {1002, 1003, 1004}, kestrel::HasAnalogueInput(setup) && Code(setup, "UseFilter") != 0);
}

void CAnalogReferenceDlg::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (SameName(name, "UseFilter")) {
    ShowFilterFields();
  } else if (SameName(name, "DeadBand_Point") || SameName(name, "DeadBand_Range")) {
    kestrel::LimitDeadBandPoint(setup);
    kestrel::LimitDeadBandRange(setup);
    RefreshParameterControls(SameName(name, "DeadBand_Point") ? "DeadBand_Range" : "DeadBand_Point");
  } else if (SameName(name, "isAnalogueReference")) {
    SetLimitText();
    UpdateData(false);
  }
  CMySetupDlg::OnChangedParameterValue(name);
}

void CAnalogReferenceDlg::OnChangedParameterUnit(const std::string& name) {
  for (const ReferenceRange& range : kRanges) {
    if (!SameName(name, range.max)) continue;
    CopyUnit(GetSetup(), range.max, range.min);
    RefreshParameterControls(range.min);
  }
  if (SameName(name, "DeadBand_Point")) {
    CopyUnit(GetSetup(), "DeadBand_Point", "DeadBand_Range");
    RefreshParameterControls("DeadBand_Range");
  }
  CMySetupDlg::OnChangedParameterUnit(name);
}

void CAnalogReferenceDlg::OnRefreshParameterValue(const std::string& name) {
  for (const ReferenceRange& range : kRanges) {
    if (SameName(name, range.max) || SameName(name, range.min)) {
      range.limits(GetSetup());
      RefreshAllParameters();
    }
  }
  if (SameName(name, "GEARMASTER") || SameName(name, "GEARSLAVE")) KeepGearRatioUsable();
  CMySetupDlg::OnRefreshParameterValue(name);
}

// A gear ratio needs both numbers: a zero becomes 1, and two negative numbers are the ratio of
// their magnitudes.
void CAnalogReferenceDlg::KeepGearRatioUsable() {
  CMC_Setup* setup = GetSetup();
  double master = Value(setup, "GEARMASTER");
  double slave = Value(setup, "GEARSLAVE");
  if (master == 0) master = 1;
  if (slave == 0) slave = 1;
  if (master < 0 && slave < 0) {
    master = -master;
    slave = -slave;
  }
  SetValue(setup, "GEARMASTER", master);
  SetValue(setup, "GEARSLAVE", slave);
  RefreshParameterControls("GEARMASTER");
  RefreshParameterControls("GEARSLAVE");
  UpdateData(false);
}

void CAnalogReferenceDlg::ReloadControls() { UpdateData(false); }

// The test reads the command's span from the setup as edited here; whatever its end, both layers
// are brought to agree again afterwards.
void CAnalogReferenceDlg::OnTest() {
  CMC_Setup* setup = GetSetup();
  kestrel::BringLayersToAgree(setup);
  kestrel::MakeTest(setup, "analogue", this)->DoModal();
  kestrel::BringLayersToAgree(setup);
}

const ui::MessageMap* CAnalogReferenceDlg::GetMessageMap() const {
  const ui::MessageMap* base = CMySetupDlg::GetMessageMap();
  static const ui::MessageMap map = [base] {
    ui::MessageMapBuilder<CAnalogReferenceDlg> builder(base);
    builder.Command(1000, &CAnalogReferenceDlg::OnTest)
        .Command(3116, &CAnalogReferenceDlg::ReloadControls)
        .Command(3289, &CAnalogReferenceDlg::ReloadControls)
        .Command(3290, &CAnalogReferenceDlg::ReloadControls);
    return builder.Build();
  }();
  return &map;
}
