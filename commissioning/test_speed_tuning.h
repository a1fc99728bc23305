// CTestSpeedTuning: the "Speed Controller Tuning Test" (template 102). The speed loop runs on the
// speed profile while the speed reference and the load speed are watched; its gains are tuned
// from a passband and the total inertia or mass.
#pragma once

#include "commissioning/tuning_test.h"

class CTestSpeedTuning : public CTuningTest {
 public:
  CTestSpeedTuning(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 102;
  static const TuningLoop kLoop;
};
