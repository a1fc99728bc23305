// CTestRL: the "Total Resistance and Inductance Identification Test" (template 290). Two
// direct-current runs at the test current and at half of it give the phase resistance from the
// difference of their voltages and currents; one run with a turning voltage vector gives the
// inductance from the reactive part of the current. Both go into the setup's R and L; the DC bus
// voltage measured on the way is used for the voltage scale while the dialog is open.
//
// Steps: 0/1 preliminary (1), 2/3 R test (1), 4/5 preliminary (2), 6/7 R test (2), 8/9 L test,
// 10 its outcome.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "commissioning/rl_identification.h"
#include "drivebase/logger.h"

class CTestRL : public CMyTestDlg {
 public:
  CTestRL(CMC_Setup* setup, CWnd* parent);
  ~CTestRL() override;

  static constexpr unsigned kTemplateId = 290;
  static constexpr unsigned kHelpContext = 0x4010C;
  static constexpr int kResistanceEdit = 1002;
  static constexpr int kInductanceEdit = 1003;
  static constexpr int kResistanceUnit = 3128;
  static constexpr int kInductanceUnit = 3129;
  static constexpr int kWarningText = 1010;  // the electrical time constant too short to identify L well
  static constexpr std::array<const char*, 13> kTexts{
      "Launching code for preliminary test (1)",
      "Waiting preliminary test to be finished (1)",
      "Launching code for R test (1)",
      "Waiting R test to be finished (1)",
      "Launching code for preliminary test (2)",
      "Waiting preliminary test to be finished (2)",
      "Launching code for R test (2)",
      "Waiting R test to be finished (2)",
      "Launching code for L test",
      "Waiting L test to be finished",
      kestrel::kCurrentTooLowText,
      kestrel::kInductanceTooLowText,
      kestrel::kInductanceTooHighText,
  };
  static constexpr const char* kShortTimeConstantWarning =
      "Warning: the motor's electrical time constant L/R is below 4 current-loop periods. The drive's dead time "
      "then limits how exactly the inductance can be identified.";

  std::vector<TestResultLine> ResultLines() const override;
  std::vector<MeasuredValue> MeasuredValues() const override;
  void BeginTest() override;

  // The last run's results (0 before a success), and the bus voltage it measured.
  double Resistance_Ohm() const { return r_Ohm_; }
  double Inductance_H() const { return l_H_; }
  double MeasuredVdc_V() const { return measuredVdc_V_; }
  const CMC_SingleAxisLogger& Logger() const { return *logger_; }

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  void ShowTimeConstantWarning();
  void RestoreOpeningVdc();

  // The launches, each with the values kept for it.
  bool LaunchPreliminary(int current);
  bool LaunchResistanceRun(int logType, int current);
  bool LaunchInductanceRun();
  // The ends of the runs.
  void FinishFirstResistanceRun();
  void FinishSecondResistanceRun();
  void FinishInductanceRun();
  // The means of the logged variables (IQ, then ID); false with the run failed when the upload
  // cannot start or brings no point.
  bool UploadMeans(kestrel::LoggedMean& iq, kestrel::LoggedMean* id, kestrel::LoggedMean* squared);
  // Sets the parameter and reads back what the setup kept; false with the run failed when missing.
  bool StoreResult(const char* name, double& value);
  // Empties the R and L controls until a run has bound them to the setup's R and L.
  void ClearResults();
  void ShowResults();

  std::string preliminaryProgram_, resistanceProgram_, inductanceProgram_;
  CMC_CoffFormat preliminaryImage_, resistanceImage_, inductanceImage_;
  std::unique_ptr<CMC_SingleAxisLogger> logger_;
  PreliminaryReferences references_;
  int testCurrent_ = 0;  // internal units, taken at Start
  double u1_ = 0.0, i1_ = 0.0;
  double r_Ohm_ = 0.0, l_H_ = 0.0, measuredVdc_V_ = 0.0;
  double openingVdc_V_ = 0.0, openingR_Ohm_ = 0.0, openingL_H_ = 0.0;
  bool openingKept_ = false;  // the values at opening were read
  bool resultsBound_ = false;
};
