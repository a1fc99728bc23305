// The run of the total inertia and mass tests: the start's current check, the preliminary
// program, the identification program, and the result from its readings.
#include <algorithm>
#include <cmath>
#include <limits>

#include "commissioning/total_inertia_test.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"
#include "ui/message_map.h"

namespace {

// Every drive error bit ends the identification run.
constexpr std::uint16_t kIdentificationErrorMask = 0xFFFF;

// An internal value truncated to an integer (no value, or one beyond an int, held at its bounds).
int Truncated(double internal) {
  if (std::isnan(internal)) return 0;
  return static_cast<int>(std::clamp(std::trunc(internal), double{std::numeric_limits<int>::min()},
                                     double{std::numeric_limits<int>::max()}));
}

}  // namespace

const ui::MessageMap* CTotalLoadTest::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CTotalLoadTest>(CMyTestDlg::GetMessageMap()).Timer(&CTotalLoadTest::OnTimer).Build();
  return &map;
}

void CTotalLoadTest::OnBtnStartStop() {
  if (!IsRunning()) {
    CommitPendingEdits();
    const CMC_Setup* setup = GetSetup();
    if (kestrel::dialogs::Value(setup, "TestCurrent") > kestrel::dialogs::Value(setup, "TestProtectionCurrent")) {
      MessageBox(kProtectionBelowCurrent, "", MB_OK);
      return;
    }
  }
  CMyTestDlg::OnBtnStartStop();
}

void CTotalLoadTest::BeginTest() {
  RefreshAllParameters();
  identified_.reset();
  testCurrent_ = Truncated(GetSetup()->GetParameterValueInInternalUnit("TestCurrent"));
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kind_.texts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CTotalLoadTest::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
}

void CTotalLoadTest::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchIdentification();
      return;
    case 3: LaunchIdentification(); return;
    case 4: FinishIdentification(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTotalLoadTest::LaunchIdentification() {
  const CMC_Setup* setup = GetSetup();
  return LaunchProgram(kind_.texts, mainProgram_, mainImage_, nullptr,
                       {{"RefTest", references_.refTest},
                        {"RIncTest", references_.rIncTest},
                        {"In1", double(testCurrent_)},
                        {"LimitSpeedMax", double(Truncated(setup->GetParameterValueInInternalUnit("TestMaxSpeed")))},
                        {"Imax_Prot_Test", double(Truncated(setup->GetParameterValueInInternalUnit("TestProtectionCurrent")))}});
}

void CTotalLoadTest::FinishIdentification() {
  if (WaitForProgram(mainImage_, kIdentificationErrorMask) != ProgramState::Ended) return;
  kestrel::TotalInertiaReadings readings;
  if (!ReadProgramValue(mainImage_, "test_flag", readings.testFlag) ||
      !ReadProgramValue(mainImage_, "delta_time", readings.deltaTime) ||
      !ReadProgramValue(mainImage_, "delta_speed", readings.deltaSpeed)) {
    return;
  }
  if (const auto failure = kestrel::TotalInertiaFailure(kind_, readings)) return Fail(*failure);
  CMC_Setup* setup = GetSetup();
  CMC_Parameter* result = setup->FindParameter(kind_.resultParameter);
  if (result == nullptr) return Fail(msc_pszErrInternal);
  // The torque acts on the motor shaft (the force on the motor's slider): the motor's speed scale.
  const double total =
      kestrel::TotalInertia(GetMotorSpeedScale(setup), GetCurrentScale(setup), GetSpeedLoopPeriod(setup),
                            kestrel::dialogs::Value(setup, kind_.constantParameter), testCurrent_, readings);
  if (!std::isfinite(total)) return Fail(msc_pszErrInternal);
  result->SetValueInBaseUnit(total);
  identified_ = result->GetValueInBaseUnit();
  RefreshAllParameters();
  TestSucceeded(1);
}
