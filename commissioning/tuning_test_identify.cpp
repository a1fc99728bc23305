// The tuning tests' total inertia or mass: "Identify" runs the identification test, and a total
// below the motor's own is asked about before the gains are tuned on it.
#include "compute/setup_access.h"
#include "commissioning/inertia_question.h"
#include "commissioning/total_inertia_test.h"
#include "commissioning/tuning_test.h"

void CTuningTest::OnIdentify() {
  if (IsRunning()) return;
  CMC_Setup* setup = GetSetup();
  const bool linear = kestrel::IsLinearMotor(setup);
  int result = IDCANCEL;
  if (linear) {
    CTotalMassTest test(setup, 1, this);
    result = test.DoModal();
  } else {
    CTotalInertiaTest test(setup, 1, this);
    result = test.DoModal();
  }
  if (result != IDOK) return;
  OnChangedParameterValue(linear ? "Mt" : "Jt");
  RefreshAllParameters();
}

bool CTuningTest::AskMotorInertiaQuestion() {
  const bool answered = kestrel::AskMotorInertiaIfBelowMotor(GetSetup(), this);
  RefreshAllParameters();
  return answered;
}
