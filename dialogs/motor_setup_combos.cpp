// Motor Setup's combos and display values: Hall configurations, encoder filters, the brake
// output, the sensor choice, the sin/cos interpolation levels and the serial-encoder clocks.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "compute/option_readers.h"
#include "compute/registers.h"
#include "compute/setup_access.h"
#include "dialogs/guideline_texts.h"
#include "dialogs/motor_setup_dialog.h"
#include "dialogs/motor_setup_local_values.h"
#include "dialogs/setup_values.h"
#include "ui/controls.h"

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::SetValue;
using kestrel::dialogs::Value;

namespace {

constexpr const char* kFilterFractions[] = {"1/3",  "1/6",  "1/12", "1/18", "1/24", "1/30", "1/36",
                                            "1/42", "1/48", "1/54", "1/60", "1/66", "1/72"};

// The combo's own object (a template combo always has one while the dialog is open).
CComboBox* Combo(const CWnd& dialog, int id) { return dynamic_cast<CComboBox*>(dialog.GetDlgItem(id)); }

void AddEntry(CComboBox& combo, const std::string& text, std::uintptr_t data) {
  combo.SetItemData(combo.AddString(text), data);
}

// A display copy of a setup parameter under its own name, free of the original's limits.
CMC_Parameter LocalCopy(const CMC_Parameter& original, const char* name) {
  CMC_Parameter copy = original.CopyAs(name);
  copy.SetMinInBaseUnit(-std::numeric_limits<double>::infinity());
  copy.SetMaxInBaseUnit(std::numeric_limits<double>::infinity());
  return copy;
}

struct SideNames {
  const char* sensorType;
  const char* interpolation;
  const char* lines;
  const char* resolution;
  const char* frequency;
  int interpolationCombo;
  int frequencyCombo;
};

constexpr SideNames kMotorSide{"MotorSensorType", "SINCOS_fract", "No_encoder_lines", "Resolution", "SSI_freq", 1200, 3446};
constexpr SideNames kLoadSide{"LoadSensorType", "SINCOS_fract_LD", "No_encoder_lines_LD", "Resolution_LD", "SSI_freq_LD", 1215, 3466};

const SideNames& Side(bool loadSide) { return loadSide ? kLoadSide : kMotorSide; }

}  // namespace

void CMotorSetupDialog::CreateLocalValues() {
  const CMC_Setup* setup = GetSetup();
  local_ = std::make_unique<LocalValues>();
  if (setup->HasDLMotorSensor(3, false)) {
    if (const CMC_Parameter* resolution = kestrel::FindOptionalParameter(setup, "Resolution")) {
      local_->resolutionWithInterpolation = LocalCopy(*resolution, "ResolutionWithInterpolation");
      AddUserParameterControls(&*local_->resolutionWithInterpolation, 3404, 3405);
    }
    if (const CMC_Parameter* lines = kestrel::FindOptionalParameter(setup, "No_encoder_lines")) {
      local_->equivCountsPerRev = LocalCopy(*lines, "EquivCountsPerRev");
      local_->equivCountsPerRev->ChangeUnitType("counts");
      local_->equivCountsPerRev->SetPrecision(9);
      AddUserParameterControls(&*local_->equivCountsPerRev, 3353, 3354);
    }
  }
  if (setup->HasDLLoadSensor(3, false)) {
    if (const CMC_Parameter* resolution = kestrel::FindOptionalParameter(setup, "Resolution_LD")) {
      local_->resolutionWithInterpolationLoad = LocalCopy(*resolution, "ResolutionWithInterpolation_LD");
      AddUserParameterControls(&*local_->resolutionWithInterpolationLoad, 3357, 3367);
    }
    if (const CMC_Parameter* lines = kestrel::FindOptionalParameter(setup, "No_encoder_lines_LD")) {
      local_->equivCountsPerRevLoad = LocalCopy(*lines, "EquivCountsPerRev_LD");
      local_->equivCountsPerRevLoad->ChangeUnitType("counts");
      local_->equivCountsPerRevLoad->SetPrecision(9);
      AddUserParameterControls(&*local_->equivCountsPerRevLoad, 3355, 3356);
    }
  }
  RecomputeLocalValues(false);
  RecomputeLocalValues(true);
}

void CMotorSetupDialog::RecomputeLocalValues(bool loadSide) {
  const CMC_Setup* setup = GetSetup();
  const SideNames& side = Side(loadSide);
  const double interpolation = std::ldexp(1.0, Code(setup, side.interpolation));
  auto& resolution = loadSide ? local_->resolutionWithInterpolationLoad : local_->resolutionWithInterpolation;
  auto& counts = loadSide ? local_->equivCountsPerRevLoad : local_->equivCountsPerRev;
  if (resolution) {
    resolution->SetValueInBaseUnit(Value(setup, side.resolution) / interpolation);
    RefreshParameterControls(resolution->GetName());
  }
  if (counts) {
    counts->SetValueInBaseUnit(Value(setup, side.lines) * interpolation);
    RefreshParameterControls(counts->GetName());
  }
}

void CMotorSetupDialog::FillHallCombo() {
  CComboBox* combo = Combo(*this, 1182);
  const CMC_Parameter* hallCase = kestrel::FindOptionalParameter(GetSetup(), "HALLCASE");
  if (combo == nullptr || hallCase == nullptr) return;
  combo->ResetContent();
  const double first = std::max(2.0, std::ceil(hallCase->GetMinInBaseUnit()));
  const double last = std::min(13.0, std::floor(hallCase->GetMaxInBaseUnit()));
  for (double n = first; n <= last; ++n) {
    AddEntry(*combo, std::to_string(static_cast<int>(n)), static_cast<std::uintptr_t>(n));
  }
  RefreshParameterControls("HALLCASE");
}

void CMotorSetupDialog::FillFilterCombos() {
  const CMC_Setup* setup = GetSetup();
  const bool filters = Has(setup, "isFilterEnc_MT") && Has(setup, "FilterEncValue_MT") &&
                       Has(setup, "isFilterEnc_LD") && Has(setup, "FilterEncValue_LD");
  for (const int id : {3360, 3366, 3359, 3365, 3270, 3272, 3273, 3274}) ShowChild(id, filters);
  const bool countingDirection = Has(setup, "ReverseCounting_MT");
  ShowChild(3358, countingDirection);
  ShowChild(3361, countingDirection);
  if (!filters) return;
  for (const int id : {3359, 3365}) {
    CComboBox* combo = Combo(*this, id);
    combo->ResetContent();
    for (std::uintptr_t index = 0; index < std::size(kFilterFractions); ++index) {
      AddEntry(*combo, kFilterFractions[index], index);
    }
  }
  RefreshParameterControls("FilterEncValue_MT");
  RefreshParameterControls("FilterEncValue_LD");
}

void CMotorSetupDialog::FillBrakeCombo() {
  const CMC_Setup* setup = GetSetup();
  const bool brake = Has(setup, "BRAKECFG") && Has(setup, "isMotorBrake") && setup->GetNumberOfBrakeOutputs() >= 1;
  for (const int id : {3362, 3363, 3364, 3368, 3370, 3371, 1191, 1197, 1198, 1199}) EnableChild(id, brake);
  if (!brake) return;
  const int output = Code(setup, "isMotorBrake") != 0 ? Code(setup, "MotorBrake_output") : 0;
  setup->FillIOBrakeCombo(Combo(*this, 3364), output);
}

void CMotorSetupDialog::FillSensorCombos(const std::string& changedName) {
  CMC_Setup* setup = GetSetup();
  const char* const names[] = {"MotorSensorType", "MotorSensorConnector", "LoadSensorType", "LoadSensorConnector"};
  drivebase::DlSensorSelection selection{Code(setup, names[0]), Code(setup, names[1]), Code(setup, names[2]),
                                         Code(setup, names[3])};
  const drivebase::DlSensorSelection before = selection;
  setup->FillDlSensorsCombos(Combo(*this, 1201), Combo(*this, 1202), Combo(*this, 1216), Combo(*this, 1217),
                             selection, changedName);
  // The host may correct a choice that the connectors cannot read: its corrections are kept.
  const int was[] = {before.motorType, before.motorConnector, before.loadType, before.loadConnector};
  const int now[] = {selection.motorType, selection.motorConnector, selection.loadType, selection.loadConnector};
  for (int i = 0; i < 4; ++i) {
    if (was[i] != now[i]) SetValue(setup, names[i], now[i]);
    RefreshParameterControls(names[i]);
  }
}

void CMotorSetupDialog::FillInterpolationCombos() {
  const CMC_Setup* setup = GetSetup();
  if (setup->HasDLMotorSensor(3, false)) FillInterpolationCombo(false);
  if (setup->HasDLLoadSensor(3, false)) FillInterpolationCombo(true);
}

void CMotorSetupDialog::FillInterpolationCombo(bool loadSide) {
  CMC_Setup* setup = GetSetup();
  const SideNames& side = Side(loadSide);
  // The interpolation the drive can reach sets the lowest level.
  if (Has(setup, "ELRES_FRACT")) kestrel::ComputeELRES_FRACT(setup);
  const CMC_Parameter* level = kestrel::FindOptionalParameter(setup, side.interpolation);
  CComboBox* combo = Combo(*this, side.interpolationCombo);
  if (level == nullptr || combo == nullptr) return;
  combo->ResetContent();
  for (double k = std::ceil(level->GetMinInBaseUnit()); k <= level->GetMaxInBaseUnit(); ++k) {
    AddEntry(*combo, std::to_string(static_cast<long long>(std::ldexp(1.0, static_cast<int>(k)))),
             static_cast<std::uintptr_t>(k));
  }
  RefreshParameterControls(side.interpolation);
  RecomputeLocalValues(loadSide);
}

void CMotorSetupDialog::FillFrequencyCombo(bool loadSide) {
  CMC_Setup* setup = GetSetup();
  const SideNames& side = Side(loadSide);
  const CMC_Parameter* frequency = kestrel::FindOptionalParameter(setup, side.frequency);
  CComboBox* combo = Combo(*this, side.frequencyCombo);
  if (frequency == nullptr || combo == nullptr) return;
  combo->ResetContent();
  const drivebase::ClockList clocks = kestrel::SerialEncoderClocks(setup, Code(setup, side.sensorType));
  for (const int kHz : clocks.kHz) {
    const double hz = kHz * 1000.0;
    if (hz < frequency->GetMinInBaseUnit() || hz > frequency->GetMaxInBaseUnit()) continue;
    // The entry carries Hz, the unit SSI_freq holds.
    AddEntry(*combo, std::to_string(kHz) + " kHz", static_cast<std::uintptr_t>(hz));
  }
  if (combo->GetCount() == 0) {
    MessageBox(loadSide ? "No valid frequency found for SSI/BiSS encoder. Please check frequency list or "
                          "SSI_Freq_LD paramter limits."
                        : "No valid frequency found for SSI/BiSS encoder. Please check frequency list or "
                          "SSI_Freq paramter limits.");
  }
  RefreshParameterControls(side.frequency);
}

void CMotorSetupDialog::ApplyTransmissionRule() {
  CMC_Setup* setup = GetSetup();
  // With linear serial encoders every transmission is possible.
  if (kestrel::HasLinearAbsoluteEncoders(setup)) return;
  const int motorType = Code(setup, "MotorSensorType");
  const int loadType = Code(setup, "LoadSensorType");
  const bool motorSerial = motorType == 5 || motorType == 6;
  const bool loadSerial = loadType == 5 || loadType == 6;
  EnableChild(3417, !loadSerial);
  EnableChild(3418, !motorSerial);
  EnableChild(3419, !motorSerial && !loadSerial);
  const int transmission = Code(setup, "TransmissionType");
  if ((motorSerial && (transmission == 2 || transmission == 3)) ||
      (loadSerial && (transmission == 1 || transmission == 3))) {
    SetValue(setup, "TransmissionType", 0);
    RefreshParameterControls("TransmissionType");
  }
}

void CMotorSetupDialog::UseGuidelineOfMotorSide() {
  const int transmission = Code(GetSetup(), "TransmissionType");
  SetGuidelineTable(transmission == 2 || transmission == 3 ? kestrel::dialogs::LinearMotorGuideline()
                                                           : kestrel::dialogs::RotaryMotorGuideline());
}
