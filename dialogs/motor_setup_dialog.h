// CMotorSetupDialog: the Motor Setup dialog (template 108, "Brushless Motor Setup"): the motor's
// data, its sensor and the optional load sensor, the transmission to the load, the temperature
// sensor and the brake, with the host's motor database. Drive Setup opens it.
#pragma once

#include <memory>
#include <string>

#include "dialogs/my_setup_dlg.h"

class CMotorSetupDialog : public CMySetupDlg {
 public:
  CMotorSetupDialog(CMC_Setup* setup, CWnd* parent);
  ~CMotorSetupDialog() override;

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;

  static constexpr unsigned kTemplateId = 108;
  static constexpr unsigned kHelpContext = 262407;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  // A value shown by the dialog alone: the interpolated resolution of a sin/cos encoder.
  struct LocalValues;

  void BindParameters();
  void BindSensorParameters();
  void CreateLocalValues();

  // Combos the dialog fills.
  void FillHallCombo();
  void FillFilterCombos();
  void FillBrakeCombo();
  void FillSensorCombos(const std::string& changedName);
  void FillInterpolationCombo(bool loadSide);
  void FillFrequencyCombo(bool loadSide);
  void FillInterpolationCombos();
  void RecomputeLocalValues(bool loadSide);
  void ApplyTransmissionRule();
  void UseGuidelineOfMotorSide();
  void SetFixedResolverCount();

  // Enable and show rules.
  void ApplyControlRules();
  void ApplyMotorDataRules(bool linearMotor);
  void ApplyMotorSensorRules(int type, bool linearMotor);
  void ApplyLoadSensorRules(int type, bool linearLoad);
  void ApplyFeatureRules(int motorType, int loadType);

  // Reactions.
  void OnSensorChanged(const std::string& name);
  void OnPolePairsOrResolutionChanged(const std::string& name);
  void OnTransmissionRefreshed();

  void ReloadControls();
  void OnSelchangeMotorName();

  // The motor tests: phase connection (1175), pole pairs (1176), resistance and inductance (1177).
  int RunTest(const char* name, bool sinusoidalVoltage);
  void OnTestPhaseConnections();
  void OnDetectPolePairs();
  void OnIdentifyResistanceAndInductance();
  // The encoder tests: connections of the motor (1187) and load (1211) encoders, the motor
  // encoder's resolution and counting direction (1189, 3403).
  void OnTestEncoderConnections();
  void OnSetupResolver();
  void OnTestLoadEncoderConnections();
  void OnDetectEncoderResolution();
  // The Hall tests: digital signals (1188), configuration (1190); linear Hall gains and offsets
  // (3409 motor, 3414 load) and signals (3410 motor, 3415 load).
  void OnTestHallSignals() { RunTest("hall-signals", false); }
  void OnDetectHallConfiguration() { RunTest("hall-config", false); }
  void OnDetectLinearHallGains() { RunTest("linear-hall-gains", false); }
  void OnDetectLoadLinearHallGains() { RunTest("linear-hall-gains-load", false); }
  void OnTestLinearHallSignals() { RunTest("linear-hall-signals", false); }
  void OnTestLoadLinearHallSignals() { RunTest("linear-hall-signals-load", false); }
  // The serial absolute encoder tests: the offset (3451; what it kept shows after OK) and the
  // connections of the motor (3452) and load (3472) encoders.
  void OnDetectSerialEncoderOffset() { RunTest("ssi-offset", false); }
  void OnTestSerialEncoderConnections() { RunTest("ssi-connection", false); }
  void OnTestLoadSerialEncoderConnections() { RunTest("ssi-connection-load", false); }

  std::unique_ptr<LocalValues> local_;
  bool dualLoop_ = false;
};
