// The run of the resistance and inductance identification: two preliminary and resistance runs at
// the test current and at half of it, then the inductance run; R and L computed and stored.
#include "commissioning/test_current_counts.h"
#include "commissioning/test_rl.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Value;

constexpr std::uint16_t kLoggedPoints = 400;
constexpr int kSlowLoop = 1, kFastLoop = 2;

}  // namespace

void CTestRL::BeginTest() {
  CommitPendingEdits();
  ClearResults();
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  LaunchPreliminary(testCurrent_);
}

void CTestRL::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
}

void CTestRL::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) {
        LaunchResistanceRun(kSlowLoop, testCurrent_);
      }
      return;
    case 3: LaunchResistanceRun(kSlowLoop, testCurrent_); return;
    case 4: FinishFirstResistanceRun(); return;
    case 5: LaunchPreliminary(testCurrent_ / 2); return;
    case 6:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) {
        LaunchResistanceRun(kFastLoop, testCurrent_ / 2);
      }
      return;
    case 7: LaunchResistanceRun(kFastLoop, testCurrent_ / 2); return;
    case 8: FinishSecondResistanceRun(); return;
    case 9: LaunchInductanceRun(); return;
    case 10: FinishInductanceRun(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTestRL::LaunchPreliminary(int current) {
  return LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(current)}});
}

// The logger is set up afresh for every run, so that a second Start logs what the first did.
bool CTestRL::LaunchResistanceRun(int logType, int current) {
  logger_->Reset();
  logger_->ChangeSettings(kLoggedPoints, logType, 1);
  logger_->AddVariable("IQ", 0);
  logger_->CorrectPointsNo();
  return LaunchProgram(
      kTexts, resistanceProgram_, resistanceImage_, logger_.get(),
      {{"RefTest", references_.refTest}, {"RIncTest", references_.rIncTest}, {"In1", double(current)}});
}

bool CTestRL::LaunchInductanceRun() {
  logger_->Reset();
  logger_->ChangeSettings(kLoggedPoints, kFastLoop, 1);
  logger_->AddVariable("IQ", 0);
  logger_->AddVariable("ID", 0);
  logger_->CorrectPointsNo();
  return LaunchProgram(kTexts, inductanceProgram_, inductanceImage_, logger_.get(), {{"In1", double(testCurrent_)}});
}

bool CTestRL::UploadMeans(kestrel::LoggedMean& iq, kestrel::LoggedMean* id, kestrel::LoggedMean* squared) {
  if (!logger_->BeginUploadData()) {
    Fail(msc_pszErrInternal);
    return false;
  }
  double point[3] = {};
  while (logger_->ReadPoint(point) != 0) {
    iq.Add(point[1]);
    if (id != nullptr) id->Add(point[2]);
    if (squared != nullptr) squared->Add(point[2] * point[2] + point[1] * point[1]);
  }
  logger_->EndUploadData();
  if (iq.Points() > 0) return true;
  Fail(msc_pszErrInternal);
  return false;
}

void CTestRL::FinishFirstResistanceRun() {
  if (WaitForProgram(resistanceImage_) != ProgramState::Ended) return;
  if (!ReadDriveValue("var_i1", true, u1_)) return;
  kestrel::LoggedMean current;
  if (!UploadMeans(current, nullptr, nullptr)) return;
  i1_ = current.Value();
  LaunchPreliminary(testCurrent_ / 2);
}

void CTestRL::FinishSecondResistanceRun() {
  if (WaitForProgram(resistanceImage_) != ProgramState::Ended) return;
  double u2 = 0.0, busReading = 0.0;
  if (!ReadDriveValue("var_i1", true, u2) || !ReadDriveValue("var_u2", false, busReading)) return;
  kestrel::LoggedMean current;
  if (!UploadMeans(current, nullptr, nullptr)) return;
  const double i2 = current.Value();
  CMC_Setup* setup = GetSetup();
  measuredVdc_V_ = kestrel::MeasuredBusVoltage_V(Value(setup, "VdcMaxMeasurable"), busReading,
                                                 static_cast<double>(Compute_ADCMaxValue(setup)));
  kestrel::dialogs::SetValue(setup, "Vdc", measuredVdc_V_);
  r_Ohm_ = kestrel::PhaseResistance_Ohm(u1_, u2, i1_, i2, GetVoltageScale(setup), GetCurrentScale(setup));
  if (const auto fault = kestrel::ResistanceFault(i1_, i2, r_Ohm_)) return Fail(*fault);
  LaunchInductanceRun();
}

void CTestRL::FinishInductanceRun() {
  if (WaitForProgram(inductanceImage_) != ProgramState::Ended) return;
  double amplitude = 0.0, angleIncrement = 0.0;
  if (!ReadDriveValue("var_i1", true, amplitude) || !ReadDriveValue("TINCTST", true, angleIncrement)) return;
  kestrel::LoggedMean iq, id, squared;
  if (!UploadMeans(iq, &id, &squared)) return;
  CMC_Setup* setup = GetSetup();
  l_H_ = kestrel::PhaseInductance_H(id.Value(), amplitude, angleIncrement, GetCurrentLoopPeriod(setup), squared.Value(),
                                    GetCurrentScale(setup), GetVoltageScale(setup));
  if (const auto fault = kestrel::InductanceFault(squared.Value(), angleIncrement, l_H_)) return Fail(*fault);
  // A delta-connected motor: the star equivalent seen at the terminals is a third of a phase.
  if (Value(setup, "MotorPhaseConnectionType") == 1.0) {
    r_Ohm_ *= 3.0;
    l_H_ *= 3.0;
  }
  if (!StoreResult("L", l_H_) || !StoreResult("R", r_Ohm_)) return;
  ShowResults();
  TestSucceeded(1);
}

bool CTestRL::StoreResult(const char* name, double& value) {
  CMC_Parameter* parameter = GetSetup()->FindParameter(name);
  if (parameter == nullptr) {
    Fail(msc_pszErrInternal);
    return false;
  }
  parameter->SetValueInBaseUnit(value);
  value = parameter->GetValueInBaseUnit();
  return true;
}
