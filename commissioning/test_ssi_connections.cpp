#include "commissioning/test_ssi_connections.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "commissioning/test_current_counts.h"
#include "compute/setup_access.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "drivebase/numeric.h"

namespace {

using kestrel::SensorSide;
using kestrel::dialogs::Value;

constexpr double kHandTurn_s = 2.0;
constexpr int kMostBits = 62;  // 2^B must stay a count of the 64-bit position arithmetic

long CountsPerRevolution(const CMC_Setup* setup, SensorSide side) {
  const char* bits = side == SensorSide::load ? "SSI_No_Bits_Revolution_LD" : "SSI_No_Bits_Revolution";
  return 1L << std::clamp(kestrel::TruncatedWithin<int>(Value(setup, bits)), 0, kMostBits);
}

}  // namespace

CTestSSIEncoderConnections::CTestSSIEncoderConnections(CMC_Setup* setup, SensorSide side, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent),
      side_(side),
      countsPerRevolution_(::CountsPerRevolution(setup, side)) {
  m_nStepsNo = 2;
  SetHelpContext(kHelpContext);
}

const char* CTestSSIEncoderConnections::PositionVariable() const {
  return side_ == SensorSide::load ? "APOS_LD" : "APOS_MT";
}

bool CTestSSIEncoderConnections::OnInitDialog() {
  diagram_.SubclassDlgItem(kEncoderDiagram, this);
  CMyTestDlg::OnInitDialog();
  SetPurposeText(kestrel::IsBissFeedback(GetSetup()) ? "Checks position reading from the BiSS encoder."
                                                     : "Checks position reading from the SSI encoder.");
  return true;
}

std::optional<CMyTestDlg::HandMove> CTestSSIEncoderConnections::UnattendedHandMove() const {
  const bool linear = kestrel::IsLinearMotor(GetSetup());
  return HandMove{linear ? Value(GetSetup(), "PolePitch") : 2.0 * std::numbers::pi, kHandTurn_s};
}

std::vector<CMyTestDlg::TestResultLine> CTestSSIEncoderConnections::ResultLines() const {
  std::vector<TestResultLine> lines{{PositionVariable(), GetDlgItemText(kPositionEdit)}};
  if (modulo_) lines.push_back({"Within one revolution", std::to_string(*modulo_)});
  return lines;
}

void CTestSSIEncoderConnections::BeginTest() {
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  pulsesSeen_ = false;
  // An absolute encoder stands anywhere at Start: its first reading is the reference, not a change.
  modulo_.reset();
  SetChildText(kPositionEdit, "");
  diagram_.SetTheta(0.0);
  diagram_.Repaint();
  LaunchProgramWithoutImage(kTexts, kProgram);
}

void CTestSSIEncoderConnections::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  if (m_nStep != 2) return Fail(msc_pszErrInternal);
  FollowPosition();
}

void CTestSSIEncoderConnections::FollowPosition() {
  if (CheckDriveErrors(1, kErrorMask) == 0) return;
  double reading = 0.0;
  if (!ReadDriveValue(PositionVariable(), true, reading)) return;
  const long position = kestrel::TruncatedWithin<int>(reading);
  SetChildText(kPositionEdit, std::to_string(position));
  const long modulo = PositiveModulo(position, countsPerRevolution_);
  if (modulo_ && modulo != *modulo_ && modulo != 0) pulsesSeen_ = true;
  modulo_ = modulo;
  diagram_.SetTheta(2.0 * static_cast<double>(position) * std::numbers::pi / static_cast<double>(countsPerRevolution_));
  diagram_.Repaint();
  RestartTick();
}

// Stop while the position is followed judges the run; the program is ended either way (var_i2 := 1
// after a success, and the board reset).
void CTestSSIEncoderConnections::OnBtnStartStop() {
  if (!IsRunning()) {
    RefreshAllParameters();
    return CMyTestDlg::OnBtnStartStop();
  }
  if (m_nStep != 2) return CMyTestDlg::OnBtnStartStop();
  KillTimer(drivebase::kTestTimer);
  if (!pulsesSeen_) {
    CMC_Comm::ResetActiveBoard();
    return Fail(kNoPulsesText);
  }
  if (!WriteDriveValue("var_i2", 1.0)) return;
  CMC_Comm::ResetActiveBoard();
  TestSucceeded(1);
}

const ui::MessageMap* CTestSSIEncoderConnections::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestSSIEncoderConnections>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestSSIEncoderConnections::OnTimer)
                                        .Build();
  return &map;
}
