// The CMC_Setup members that fill the combos of the sensor choice and of the brake output. They
// belong to the setup, but need the dialog framework, so they live in drivebase_dialogs.
#include <string>

#include "drivebase/setup.h"
#include "ui/controls.h"

namespace {

void AddEntry(CComboBox& combo, const std::string& text, int data) {
  const int index = combo.AddString(text);
  combo.SetItemData(index, static_cast<std::uintptr_t>(data));
}

void SelectData(CComboBox& combo, int data) {
  combo.SetCurSel(-1);
  for (int index = 0; index < combo.GetCount(); ++index) {
    if (combo.GetItemData(index) == static_cast<std::uintptr_t>(data)) {
      combo.SetCurSel(index);
      return;
    }
  }
}

void FillTypes(const CMC_Setup& setup, CComboBox* combo, const std::vector<int>& types, int selected) {
  if (combo == nullptr) return;
  combo->ResetContent();
  AddEntry(*combo, setup.GetSensorName(0).empty() ? "None" : setup.GetSensorName(0), 0);
  for (const int type : types) {
    const std::string name = setup.GetSensorName(type);
    AddEntry(*combo, name.empty() ? "Sensor " + std::to_string(type) : name, type);
  }
  SelectData(*combo, selected);
}

void FillConnectors(const std::vector<drivebase::FeedbackConnector>& connectors, CComboBox* combo, int selected) {
  if (combo == nullptr) return;
  combo->ResetContent();
  for (std::size_t index = 0; index < connectors.size(); ++index) {
    AddEntry(*combo, connectors[index].name, static_cast<int>(index));
  }
  SelectData(*combo, selected);
}

}  // namespace

void CMC_Setup::FillDlSensorsCombos(CComboBox* motorType, CComboBox* motorConnector, CComboBox* loadType,
                                    CComboBox* loadConnector, drivebase::DlSensorSelection& selection,
                                    std::string_view changedName) const {
  const std::vector<drivebase::FeedbackConnector> connectors = GetDLSensorConnectors();
  drivebase::CorrectDlSensors(connectors, GetDLMaxSensorValue(), changedName, selection);
  const std::vector<int> types = drivebase::SelectableSensorTypes(connectors);
  FillTypes(*this, motorType, types, selection.motorType);
  FillTypes(*this, loadType, types, selection.loadType);
  FillConnectors(connectors, motorConnector, selection.motorConnector);
  FillConnectors(connectors, loadConnector, selection.loadConnector);
}

void CMC_Setup::FillIOBrakeCombo(CComboBox* combo, int currentOutput) const {
  if (combo == nullptr) return;
  combo->ResetContent();
  for (const drivebase::IoPin& io : DriveFamily().ioPins) {
    if (!io.brakeOutput) continue;
    AddEntry(*combo, "OUT" + std::to_string(io.port) + " (pin " + std::to_string(io.pin) + ")", io.port);
  }
  SelectData(*combo, currentOutput);
}
