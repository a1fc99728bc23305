// The tuning tests' run: Start, the preliminary stage, the launch of the main program with its
// profile, and the data logger's run, single or in multiple cycles.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "commissioning/tuning_test.h"
#include "compute/position_scale.h"
#include "compute/registers.h"
#include "compute/scale_functions.h"
#include "dialogs/setup_values.h"
#include "drivebase/numeric.h"
#include "ui/event_loop.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::Value;

// The program's 16-bit variables take the rounded value modulo 2^16.
double Int16(double value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(TG_Round(value) & 0xFFFF)); }

constexpr std::array<const char*, 6> kCountNames{"a0", "a1", "a2", "a3", "a4", "a5"};
constexpr std::array<const char*, 6> kSlopeNames{"b0", "b1", "b2", "b3", "b4", "b5"};

}  // namespace

void CTuningTest::BeginTest() {
  CommitPendingEdits();
  RefreshAllParameters();
  CMC_Setup* setup = GetSetup();
  m_bStopRequested = 0;
  m_bContinuousRun = 0;
  m_bTestRunning = 1;
  referencesValid_ = false;
  stopPressedDuringUpload_ = false;
  measured_.reset();
  predicted_.reset();
  for (const int id : {kRiseTimeText, kOvershootText, kSettlingText}) SetChildText(id, "");
  m_nStepsNo = OnlineMode() ? 4 : 5;
  m_nResult = -1;
  if (Code(setup, "CommutationMethod") != 0 && Code(setup, "StartMode") == 0) {
    m_nStep = 0;
    referencesValid_ = true;
    const double ki = GetCurrentScale(setup);
    const double nominal = std::min(ki * Value(setup, "In"), ki * Value(setup, "InPS"));
    const double in1 = std::trunc(Value(setup, "TestStartCurrent") / 100.0 * nominal);
    if (Has(setup, "ABSTART_MINMOVE")) setup->SetParameterValueInBaseUnit("ABSTART_MINMOVE", 0.0);
    LaunchProgram(kTexts, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", in1}});
  } else {
    // Without the preliminary stage the first tick launches the main program.
    m_nStep = 2;
    ShowStepText(kTexts);
    RestartTick();
  }
  ShowRunState();
}

void CTuningTest::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
  ShowRunState();
}

void CTuningTest::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) {
        ShowStepText(kTexts);
        LaunchMainProgram();
      }
      return;
    case 3: LaunchMainProgram(); return;
    case 4:
      if (!OnlineMode()) return WatchDataLoggerRun();
      if (scope_ != nullptr) return WatchScopeRun();
      return WatchOscilloscopeRun();
    case 5:
      if (OnlineMode()) break;
      FinishDataLoggerRun();
      return;
    default: break;
  }
  Fail(msc_pszErrInternal);
}

// The run goes on until stopped: its end is the test's to report, not the host's.
void CTuningTest::TakeUpStop() { KillTimer(drivebase::kHostStopTimer); }

void CTuningTest::AddCurrentLimitInputs(std::vector<ProgramInput>& inputs) {
  inputs.push_back({"IlimPS_Test", GetSetup()->GetParameterValueInInternalUnit("TestLimitCurrent")});
}

bool CTuningTest::AddProfileInputs(std::vector<ProgramInput>& inputs) {
  const CMC_Setup* setup = GetSetup();
  const bool position = loop_.profileKind == kestrel::ProfileKind::position;
  const double scale = position ? GetLoadPositionScale(setup) : GetLoadSpeedScale(setup);
  const auto distance = static_cast<std::int64_t>(TG_FRound(Value(setup, loop_.distance) * scale));
  const kestrel::ProfileTimes times{Value(setup, loop_.times[0]), Value(setup, loop_.times[1]),
                                    Value(setup, loop_.times[2]), Value(setup, loop_.times[3])};
  const kestrel::ReferenceProfile profile =
      kestrel::BuildReferenceProfile(loop_.profileKind, kestrel::ReferenceShapeOf(Code(setup, loop_.referenceType)),
                                     distance, times, GetSpeedLoopPeriod(setup));
  if (!profile.Valid()) {
    Fail(profile.error);
    return false;
  }
  launchedProfile_ = profile;
  // Each slope goes to the program as its value, slope / 65536 (exact: a power of two).
  for (std::size_t i = 0; i < profile.segments.size(); ++i) {
    inputs.push_back({kCountNames[i], static_cast<double>(profile.segments[i].count)});
    inputs.push_back({kSlopeNames[i], static_cast<double>(profile.segments[i].slope) / 65536.0});
  }
  return true;
}

bool CTuningTest::LaunchMainProgram() {
  CMC_Setup* setup = GetSetup();
  const double refTest = referencesValid_ ? references_.refTest : setup->GetParameterValueInInternalUnit("REFTST");
  const double rIncTest = referencesValid_ ? references_.rIncTest : setup->GetParameterValueInInternalUnit("RINCTST");
  std::vector<ProgramInput> inputs{{"RefTest", Int16(refTest)}, {"RIncTest", Int16(static_cast<float>(rIncTest))}};
  AddCurrentLimitInputs(inputs);
  inputs.push_back({"Imax_Prot_Test", setup->GetParameterValueInInternalUnit("TestProtectionCurrent")});
  // The profile is checked before anything reaches the drive.
  if (!AddProfileInputs(inputs)) return false;
  const double multiCycle = std::trunc(Value(setup, loop_.multiCycle));
  inputs.push_back({"MultiC", multiCycle});
  m_bContinuousRun = multiCycle != 0.0 ? 1 : 0;
  const bool online = OnlineMode();
  if (online && scope_ == nullptr) {
    const double v = setup->GetParameterValueInInternalUnit(loop_.distance);
    oscilloscope_.Init("", 2, 0);
    for (const int channel : {0, 1}) {
      oscilloscope_.SetChannelRange(channel, v >= 0.0 ? -0.2 * v : 1.2 * v, v >= 0.0 ? 1.2 * v : -0.2 * v);
    }
  }
  if (Has(setup, "ABSTART_MINMOVE")) kestrel::ComputeABSTART_MINMOVE(setup);
  CMC_Logger* logger = online ? static_cast<CMC_Logger*>(scope_.get()) : logger_.get();
  if (online && scope_ != nullptr) {
    drawnIndex_ = 0;
    framesSeen_ = false;
  }
  if (!LaunchProgram(kTexts, mainProgram_, mainImage_, logger, inputs)) return false;
  if (m_bContinuousRun != 0) SetChildText(drivebase::kProgressText, kTexts[5]);
  m_bStopRequested = 0;
  if (!online || scope_ == nullptr) return true;
  KillTimer(drivebase::kTestTimer);
  return RestartTick(1);
}

// The drive's errors (all but a missing Hall sensor) and the program's protection flag (1 from
// the launch on, 0 or less once the protection tripped); the error text is stored, and with fail
// the run ends as failed.
bool CTuningTest::RunChecks(bool fail) {
  if (CheckDriveErrors(fail ? 1 : 0, kRunErrorMask) == 0) return false;
  double testFlag = 0.0;
  if (GetUserVariableValue(&mainImage_, "test_flag", testFlag, m_strErrorText) == 0) {
    if (fail) TestFailed(1);
    return false;
  }
  if (testFlag == drivebase::kNoValue || testFlag <= 0.0) {
    m_strErrorText = testFlag == drivebase::kNoValue ? msc_pszErrInternal : kTexts[6];
    if (fail) TestFailed(1);
    return false;
  }
  return true;
}

void CTuningTest::WatchDataLoggerRun() {
  if (m_bContinuousRun != 0) {
    // Cycle after cycle until the user stops, or a protection or drive error stops the run.
    if (m_bStopRequested == 0) {
      if (RunChecks(false)) {
        RestartTick();
        return;
      }
      // The program is stopped and the run ends with the stored text, not as stopped by the user.
      CMC_TestDlg::OnBtnStartStop();
      TakeUpStop();
      RestartTick(1);
      return;
    }
    TakeUpStop();
    ShowStepText(kTexts);
    FinishDataLoggerRun();
    return;
  }
  double started = 0.0;
  if (!ReadProgramValue(mainImage_, "STARTED", started)) return;
  if (started == 0.0) {
    if (CheckDriveErrors(1, kStartErrorMask) != 0) RestartTick();
    return;
  }
  int axisOn = 0;
  if (GetAxisOn(axisOn) == 0) return Fail(CMC_Comm::GetLastErrorText());
  if (axisOn == 0) ShowStepText(kTexts);
  RestartTick();
}

void CTuningTest::FinishDataLoggerRun() {
  if (RunChecks(false)) {
    m_bContinuousRun = 0;
  } else {
    m_bContinuousRun = 1;
    m_bStopRequested = 0;
  }
  if (logger_ == nullptr || !logger_->BeginUploadData()) return Fail(msc_pszErrInternal);
  UploadDataLogger();
}

// Each point drawn as it comes, the pending messages dispatched between points.
void CTuningTest::UploadDataLogger() {
  loggerGraph_.DoZoomOut();
  while (logger_->ReadPoint() != 0) {
    loggerGraph_.UpdateLastPoint();
    ui::CurrentEventLoop().Pump();
    if (m_bContinuousRun != 0 && m_bStopRequested != 0) break;
    if (!IsRunning() && m_bContinuousRun == 0) {
      loggerGraph_.DoZoomOut();
      return;
    }
  }
  loggerGraph_.DoZoomOut();
  if (!IsRunning() || !RunChecks(true) || !UploadHoldsTheStep()) return;
  FinishResponseFigures();
  TestSucceeded(1);
}
