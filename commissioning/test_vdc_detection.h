// The DC voltage detection test (template 105): a drive program measures the supply voltage with
// the axis off; the test converts its bus ADC count into volts, writes it to Vdc and offers on
// closing to keep it.
//
// Steps: 0/1 the detection program, 2 reading its result.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"

class CTestVdcDetection : public CMyTestDlg {
 public:
  CTestVdcDetection(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 105;
  static constexpr unsigned kHelpContext = 262405;
  static constexpr int kVdcEdit = 1012;
  static constexpr int kVdcUnit = 1013;
  static constexpr std::array<const char*, 2> kTexts{"Launching test", "Running test"};

  void BeginTest() override;
  std::vector<TestResultLine> ResultLines() const override;
  std::vector<MeasuredValue> MeasuredValues() const override;

 protected:
  bool OnInitDialog() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void ReadSupplyVoltage();
  double PresentVdc() const;

  std::string program_;
  CMC_CoffFormat image_;
  double vdcMaxMeasurable_V_;
  double openingVdc_V_;  // Vdc when the dialog opened: the old value of the question
};
