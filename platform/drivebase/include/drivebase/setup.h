// The setup: one drive-and-motor configuration, made of parameters, drive variables, named
// option strings, the drive's identity and the host's data of the drive family.
//
// Names are looked up without regard to case. Lookups that fail are reported to the error sink
// while g_bShowErrors is non-zero (error_report.h). Values of drive-scaled quantities convert
// through the scale functions that the plug-in supplies (factor 1, offset 0 without them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drivebase/dl_sensors.h"
#include "drivebase/drive_family.h"
#include "drivebase/gui_resources.h"
#include "drivebase/named_table.h"
#include "drivebase/parameter.h"
#include "drivebase/variable.h"

namespace drivebase {

// The plug-in's exported conversions: factor and offset from the internal unit to a unit, for
// a parameter or variable name.
using ScaleFunction = double (*)(CMC_Setup* setup, const char* unit, const char* name);

struct ScaleFunctions {
  ScaleFunction factor = nullptr;
  ScaleFunction offset = nullptr;
};

struct Option {
  std::string name;
  std::string value;
  const std::string& GetName() const { return name; }
};

}  // namespace drivebase

class CComboBox;  // the dialog framework's combo (the members that fill combos live in the
                  // setup-dialog library, drivebase_dialogs)

class CMC_Setup {
 public:
  CMC_Setup() = default;
  CMC_Setup(const CMC_Setup& other);
  CMC_Setup& operator=(const CMC_Setup& other);
  CMC_Setup(CMC_Setup&& other) noexcept;
  CMC_Setup& operator=(CMC_Setup&& other) noexcept;
  ~CMC_Setup() = default;

  // Parameters. A missing name gives null (reported), and 0.0 or false from the by-name calls.
  CMC_Parameter* FindParameter(std::string_view name) const;
  double GetParameterValueInBaseUnit(std::string_view name) const;
  double GetParameterValueInInternalUnit(std::string_view name) const;
  double GetParameterValue(std::string_view name) const;  // in the display unit
  bool SetParameterValueInBaseUnit(std::string_view name, double value);
  bool SetParameterValueInInternalUnit(std::string_view name, double value);

  // Adds a parameter; throws std::invalid_argument for a taken name or an invalid spec.
  CMC_Parameter& AddParameter(const drivebase::ParameterSpec& spec);
  bool RemoveParameter(std::string_view name);
  const std::vector<std::unique_ptr<CMC_Parameter>>& Parameters() const {
    return parameters_.items();
  }

  // Drive variables; with reportIfMissing 0 a missing name is not reported.
  CMC_Variable* FindVariable(std::string_view name, int reportIfMissing = 1) const;
  CMC_Variable& AddVariable(const drivebase::QuantitySpec& spec);
  bool RemoveVariable(std::string_view name);
  const std::vector<std::unique_ptr<CMC_Variable>>& Variables() const {
    return variables_.items();
  }

  // Options: named strings. GetIntOption reads the leading integer of the text (0 without one)
  // and reports an unset option; GetOptionNoError gives "" for an unset option.
  int GetIntOption(std::string_view name) const;
  std::string GetOptionNoError(std::string_view name) const;
  void SetOption(std::string_view name, std::string_view text);
  void ClearOption(std::string_view name);
  const drivebase::Option* FindOption(std::string_view name) const { return options_.Find(name); }
  const std::vector<std::unique_ptr<drivebase::Option>>& Options() const {
    return options_.items();
  }

  // Identity of the drive.
  const std::string& GetFirmwareID() const { return identity_.firmwareId; }
  bool SetFirmwareID(const std::string& id);  // false, unchanged, for an invalid id
  const std::string& GetProductID() const { return identity_.productId; }
  void SetProductID(const std::string& id) { identity_.productId = id; }
  const std::string& GetUserAppID() const { return identity_.applicationId; }
  void SetUserAppID(const std::string& id) { identity_.applicationId = id; }
  const std::string& GetDescription() const { return identity_.description; }
  void SetDescription(const std::string& text) { identity_.description = text; }
  int GetE2ROMSize() const { return identity_.e2romSize; }
  void SetE2ROMSize(int words) { identity_.e2romSize = words; }
  const drivebase::DriveIdentity& Identity() const { return identity_; }
  void SetIdentity(drivebase::DriveIdentity identity) { identity_ = std::move(identity); }

  // The host's data of the drive family.
  const drivebase::DriveFamilyData& DriveFamily() const { return family_; }
  void SetDriveFamily(drivebase::DriveFamilyData family) { family_ = std::move(family); }
  int GetMCVersion() const { return family_.generation; }
  int GetDLMaxSensorValue() const { return family_.maxSensorType; }
  int GetDLMaxConnectorValue() const;
  // One configuration line per feedback connector: its name, then one "code,sensor name"
  // string per sensor it accepts (read with ReadEscapedStringFromConfigLine).
  std::vector<std::string> GetDLSensorsArray() const;
  std::string GetSensorName(int sensorType) const;    // "" for an unknown code
  std::string GetFeedbackName(int connector) const;   // "" for an unknown connector
  // Fill kHz and modes (equal length in a sound drive family).
  void GetSSIFreqList(std::vector<int>& kHz, std::vector<int>& modes) const;
  void GetBiSSFreqList(std::vector<int>& kHz, std::vector<int>& modes) const;
  int GetIOPortFromPin(int pin) const;  // -1 when no port uses the pin
  int GetIOPinFromPort(int port) const;  // -1 when the port is unknown
  int GetNumberOfBrakeOutputs() const;
  // The brake configuration of an output port: 0 when the port cannot drive a brake; else bit 0
  // set and bits 4-5 the output stage, 01 source (PNP), 10 sink (NPN).
  int IsBrakePortEnable(int port) const;
  // Whether the drive inverts the port's logic level (false for an unknown port).
  bool IsBrakePortInverted(int port) const;

  // The connector table of GetDLSensorsArray, read; faulty lines are reported and skipped.
  std::vector<drivebase::FeedbackConnector> GetDLSensorConnectors() const;
  // Fills the motor and load sensor-type and connector combos (entries carry the code or the
  // connector index as item data) after correcting the selection by the connector table
  // (drivebase::CorrectDlSensors; changedName: the parameter just changed, or ""). The
  // corrected selection is left in `selection`; the caller writes back what changed.
  // Defined in drivebase_dialogs.
  void FillDlSensorsCombos(CComboBox* motorType, CComboBox* motorConnector, CComboBox* loadType,
                           CComboBox* loadConnector, drivebase::DlSensorSelection& selection,
                           std::string_view changedName) const;
  // Fills a combo with the outputs that can drive a brake ("OUT0 (pin 25)", item data: the
  // port) and selects `currentOutput` (none when it is not one of them). Defined in
  // drivebase_dialogs.
  void FillIOBrakeCombo(CComboBox* combo, int currentOutput) const;

  // The host's user-interface resources: the bitmaps of the GUI module, and the help index as a
  // file name within GetGUIDirectory ("docs/help/README.md"; "" when there is no help).
  static const drivebase::GuiModule& GetGuiModule();
  std::string GetHelpFileOfGUI() const;
  // Whether the setup's motor (load) sensor is of the given type; reportIfMissing as for
  // FindVariable.
  bool HasDLMotorSensor(int sensorType, bool reportIfMissing) const;
  bool HasDLLoadSensor(int sensorType, bool reportIfMissing) const;

  // Sends a command string (such as "!CAP;ENCAPI1;") to the connected drive; the other two
  // arguments are unused (0 and null). False with CMC_Comm::GetLastErrorText when it fails.
  bool ExecuteString(std::string_view command, int unused = 0, void* unusedData = nullptr) const;

  // Conversions of drive-scaled quantities.
  void SetScaleFunctions(drivebase::ScaleFunctions functions) { scale_ = functions; }
  drivebase::ScaleFunctions GetScaleFunctions() const { return scale_; }
  double ScaleFactor(std::string_view baseUnit, const std::string& name) const;
  double ScaleOffset(std::string_view baseUnit, const std::string& name) const;

 private:
  friend class CMC_Parameter;
  // Limits that follow another parameter's value, kept after every change of that value: the
  // supply voltage Vdc cannot exceed what the drive measures (VdcMaxMeasurable).
  void FollowChangedValue(const CMC_Parameter& changed);
  void RebindAll();
  bool HasSensorOfType(std::string_view parameter, int sensorType, bool reportIfMissing) const;

  drivebase::NamedTable<CMC_Parameter> parameters_;
  drivebase::NamedTable<CMC_Variable> variables_;
  drivebase::NamedTable<drivebase::Option> options_;
  drivebase::DriveIdentity identity_;
  drivebase::DriveFamilyData family_;
  drivebase::ScaleFunctions scale_;
};

// Full-scale count of the drive's ADC channels.
std::uint32_t Compute_ADCMaxValue(const CMC_Setup* setup);
