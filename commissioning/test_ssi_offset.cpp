#include "commissioning/test_ssi_offset.h"

#include <algorithm>
#include <cmath>

#include "commissioning/test_current_counts.h"
#include "compute/parameter_limits.h"
#include "compute/setup_access.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::Value;

// The drive keeps the offset at 16-bit resolution at most.
constexpr int kOffsetBits = 16;

bool IsSerial(int sensorType) { return sensorType == 5 || sensorType == 6; }

std::string OutOfPeriodText(const kestrel::SerialEncoderOffset& found) {
  return "The encoder offset read from the drive (" + std::to_string(found.offset) +
         ") lies outside one electrical period (0 to " + std::to_string(found.period - 1) + ").";
}

}  // namespace

std::optional<kestrel::SerialEncoderOffset> kestrel::ReduceSerialEncoderOffset(double bits, double polePairs,
                                                                               double driveOffset) {
  const std::int64_t pairs = TruncatedWithin<int>(polePairs);
  if (pairs < 1) return std::nullopt;
  const int usedBits = std::clamp(TruncatedWithin<int>(bits), 0, kOffsetBits);
  const std::int64_t period = (std::int64_t{1} << usedBits) / pairs;
  if (period < 1) return std::nullopt;
  return SerialEncoderOffset{period, static_cast<std::int64_t>(TruncatedWithin<int>(driveOffset)) % period};
}

CTestSSIEncoderOffset::CTestSSIEncoderOffset(CMC_Setup* setup, CWnd* parent)
    : CMyTestDlg(setup, kTemplateId, 1, parent) {
  m_nStepsNo = 4;
  SetHelpContext(kHelpContext);
  AddParameterControls("pp", kPolePairsEdit);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CTestSSIEncoderOffset::~CTestSSIEncoderOffset() = default;

bool CTestSSIEncoderOffset::OnInitDialog() {
  CMC_Setup* setup = GetSetup();
  openingOffset_ = kestrel::TruncatedWithin<int>(setup->GetParameterValueInInternalUnit("ZAOFF"));
  PrepareProgram(kPreliminaryProgram, preliminaryImage_);
  PrepareProgram(kOffsetProgram, offsetImage_);
  CMyTestDlg::OnInitDialog();
  SetPurposeText(kestrel::IsBissFeedback(setup) ? "Identifies the BiSS offset." : "Identifies the SSI offset.");
  return true;
}

std::vector<CMyTestDlg::TestResultLine> CTestSSIEncoderOffset::ResultLines() const {
  if (!found_) return {};
  return {{kOffsetLabel, std::to_string(found_->offset)},
          {"SSI_Offset", kestrel::FormatG(Value(GetSetup(), "SSI_Offset"))}};
}

void CTestSSIEncoderOffset::BeginTest() {
  CommitPendingEdits();
  SetChildText(kOffsetEdit, "");
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  found_.reset();
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  LaunchProgram(kTexts, kPreliminaryProgram, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CTestSSIEncoderOffset::OnTimer(std::uintptr_t id) {
  if (!TakeTick(id)) return;
  Tick();
}

void CTestSSIEncoderOffset::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchOffsetProgram();
      return;
    case 3: LaunchOffsetProgram(); return;
    case 4: FinishOffsetProgram(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

bool CTestSSIEncoderOffset::LaunchOffsetProgram() {
  return LaunchProgram(kTexts, kOffsetProgram, offsetImage_, nullptr,
                       {{"RefTest", references_.refTest}, {"RIncTest", references_.rIncTest}});
}

// Once the axis is off the program reports its offset; var_i1 turns 1 when ZAOFF holds it.
void CTestSSIEncoderOffset::FinishOffsetProgram() {
  if (WaitForProgram(offsetImage_) != ProgramState::Ended) return;
  double done = 0.0;
  if (!ReadDriveValue("var_i1", true, done)) return;
  if (done != 1.0) {
    RestartTick();
    return;
  }
  CMC_Setup* setup = GetSetup();
  const char* bits = IsSerial(Code(setup, "LoadSensorType")) ? "SSI_No_Bits_Revolution_LD" : "SSI_No_Bits_Revolution";
  double driveOffset = 0.0;
  if (!ReadDriveValue("ZAOFF", false, driveOffset)) return;
  const auto found = kestrel::ReduceSerialEncoderOffset(Value(setup, bits), Value(setup, "pp"), driveOffset);
  if (!found) return Fail(msc_pszErrInternal);
  // An offset outside the period is not stored: the setup keeps the one it had.
  if (!found->Valid()) {
    CMC_Comm::ResetActiveBoard();
    return Fail(OutOfPeriodText(*found));
  }
  const auto offset = static_cast<double>(found->offset);
  if (!setup->SetParameterValueInBaseUnit("ZAOFF", offset)) return Fail(msc_pszErrInternal);
  // SSI_Offset holds the same offset, so that the opener's recompute (ZAOFF := SSI_Offset) keeps
  // it. It is set rather than derived from the registers, with its range recomputed first: the pole
  // pairs may have been changed here, and the registers follow them only in the opener's recompute.
  if (Has(setup, "SSI_Offset")) {
    kestrel::LimitSerialEncoderOffset(setup);
    setup->SetParameterValueInBaseUnit("SSI_Offset", offset);
  }
  RefreshAllParameters();
  found_ = found;
  SetChildText(kOffsetEdit, std::to_string(found->offset));
  CMC_Comm::ResetActiveBoard();
  TestSucceeded(1);
}

std::vector<kestrel::ComparedValue> CTestSSIEncoderOffset::ComparedValues() const {
  const long present = kestrel::TruncatedWithin<int>(GetSetup()->GetParameterValueInInternalUnit("ZAOFF"));
  return {{kOffsetLabel, static_cast<double>(openingOffset_), static_cast<double>(present), true}};
}

const ui::MessageMap* CTestSSIEncoderOffset::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CTestSSIEncoderOffset>(CMyTestDlg::GetMessageMap())
                                        .Timer(&CTestSSIEncoderOffset::OnTimer)
                                        .Build();
  return &map;
}
