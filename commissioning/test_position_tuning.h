// CTestPositionTuning: the "Position Controller Tuning Test" (template 103), the speed test's
// twin for the position loop: over the speed loop (PositionControlType 1) or directly on the
// current loop. For its run the setup's current limit IlimPS takes the test's limit; a close
// that keeps nothing puts the opening limit back.
#pragma once

#include "commissioning/tuning_test.h"

class CTestPositionTuning : public CTuningTest {
 public:
  CTestPositionTuning(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 103;
  static const TuningLoop kLoop;

 protected:
  void AddCurrentLimitInputs(std::vector<ProgramInput>& inputs) override;
  void RestoreSetupChangedForRun() override;
  std::vector<const char*> LoggedVariables() const override;

 private:
  double openingCurrentLimit_ = 0.0;  // IlimPS at opening, base unit
};
