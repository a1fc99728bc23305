#include "commissioning/test_linear_hall.h"

#include <cmath>
#include <utility>

#include "commissioning/program_names.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"
#include "drivebase/comm.h"
#include "ui/event_loop.h"

namespace kestrel {

bool HallVoltageChanged(double volts, double reference_V) { return std::fabs(volts - reference_V) > 1.0; }

}  // namespace kestrel

namespace {

// The drive's third Hall channel: AD8 on drives before generation 3, AD9 from then on.
const char* HallCChannel(const CMC_Setup* setup) { return setup->GetMCVersion() < 3 ? "AD8" : "AD9"; }

}  // namespace

CLinearHallTest::CLinearHallTest(CMC_Setup* setup, kestrel::SensorSide side, unsigned templateId,
                                 std::string mainProgram, std::span<const char* const> texts, std::string purpose,
                                 CWnd* parent)
    : CMyTestDlg(setup, templateId, 1, parent),
      side_(side),
      preliminaryProgram_(kestrel::ProgramName("LH", "Initial_Positioning_Test", 0)),
      mainProgram_(std::move(mainProgram)),
      texts_(texts),
      purpose_(std::move(purpose)) {
  m_nStepsNo = static_cast<std::uint16_t>(texts.size());
  for (auto& window : stripWindows_) window = std::make_unique<CGraphWindow>(1, 0);
  AddParameterControls("TestCurrent", 1005, 1017);
}

CLinearHallTest::~CLinearHallTest() = default;

bool CLinearHallTest::OnInitDialog() {
  PrepareProgram(preliminaryProgram_, preliminaryImage_);
  PrepareProgram(mainProgram_, mainImage_);
  for (std::size_t k = 0; k < strips_.size(); ++k) {
    stripWindows_[k]->SubclassDlgItem(kStrips[k], this, &strips_[k].Filter());
    SetChildBitmap(kLabelPictures[k], kLabelBitmaps[k]);
  }
  CMyTestDlg::OnInitDialog();
  SetPurposeText(purpose_);
  return true;
}

void CLinearHallTest::BeginTest() {
  CommitPendingEdits();
  testCurrent_ = kestrel::TestCurrentCounts(GetSetup());
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  for (const int edit : kVoltageEdits) SetChildText(edit, "");
  ResetRun();
  LaunchProgram(texts_, preliminaryProgram_, preliminaryImage_, nullptr, {{"In1", double(testCurrent_)}});
}

void CLinearHallTest::OnTimer(std::uintptr_t id) {
  if (TakeTick(id)) Tick();
}

void CLinearHallTest::Tick() {
  switch (m_nStep) {
    case 2:
      if (FinishPreliminaryStage(preliminaryImage_, references_) == ProgramState::Ended) LaunchTestProgram();
      return;
    case 3: LaunchTestProgram(); return;
    case 4: Sample(); return;
    default: Fail(msc_pszErrInternal); return;
  }
}

// The strips start empty with the test program.
bool CLinearHallTest::LaunchTestProgram() {
  std::vector<ProgramInput> inputs{{"RefTest", references_.refTest}, {"RIncTest", references_.rIncTest}};
  for (const ProgramInput& input : ExtraInputs()) inputs.push_back(input);
  if (!LaunchProgram(texts_, mainProgram_, mainImage_, nullptr, inputs)) return false;
  for (std::size_t k = 0; k < strips_.size(); ++k) {
    strips_[k].Init("", 1, 0);
    strips_[k].SetChannelRange(0, kStripMin_V, kStripMax_V);
    strips_[k].SetChannelColour(0, RGB16(kStripColours[k]));
    stripWindows_[k]->RefreshGraph();
  }
  return true;
}

bool CLinearHallTest::SampleVoltages(std::uint16_t mask, const SampleHandler& handle) {
  ui::EventLoop& loop = ui::CurrentEventLoop();
  for (long pass = 1; IsRunning() && m_bStopRequested == 0; ++pass) {
    if (CheckDriveErrors(1, mask) == 0) return false;
    Voltages volts{};
    if (!ReadVoltages(volts)) return false;
    for (std::size_t k = 0; k < strips_.size(); ++k) {
      strips_[k].AddLastPoint(std::array{volts[k]});
      stripWindows_[k]->UpdateLastPoint();
    }
    if (pass % kShowEvery == 0) ShowVoltages(volts);
    if (!handle(volts)) break;
    loop.Pump();
  }
  return IsRunning();
}

// Both views take the 5 V input range over the ADC's full-scale count.
bool CLinearHallTest::ReadVoltages(Voltages& volts) {
  const double countsPerVolt = Compute_ADCMaxValue(GetSetup()) / kInputRange_V;
  const std::array<const char*, 3> channels{"AD6", "AD3", HallCChannel(GetSetup())};
  for (std::size_t k = 0; k < channels.size(); ++k) {
    double counts = 0.0;
    if (!ReadDriveValue(channels[k], true, counts)) return false;
    volts[k] = counts / countsPerVolt;
  }
  return true;
}

void CLinearHallTest::ShowVoltages(const Voltages& volts) {
  for (std::size_t k = 0; k < volts.size(); ++k) SetChildText(kVoltageEdits[k], kestrel::FormatNumber("%.2g", volts[k]));
}

const ui::MessageMap* CLinearHallTest::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<CLinearHallTest>(CMyTestDlg::GetMessageMap()).Timer(&CLinearHallTest::OnTimer).Build();
  return &map;
}

CTestLHHallSignals::CTestLHHallSignals(CMC_Setup* setup, kestrel::SensorSide side, CWnd* parent)
    : CLinearHallTest(setup, side, kTemplateId, kestrel::ProgramName("LH", "Hall_Signals_Connection_Test", 0), kTexts,
                      "Checks that each of the three linear Hall signals changes while the motor turns.", parent) {
  SetHelpContext(kHelpContext);
}

void CTestLHHallSignals::ResetRun() {
  firstSample_ = true;
  changed_ = {};
}

void CTestLHHallSignals::Sample() {
  const bool sampled = SampleVoltages(kSamplingMask, [this](const Voltages& volts) {
    if (firstSample_) {
      reference_V_ = volts;
      firstSample_ = false;
      return true;
    }
    for (std::size_t k = 0; k < volts.size(); ++k) {
      if (kestrel::HallVoltageChanged(volts[k], reference_V_[k])) changed_[k] = true;
    }
    return true;
  });
  if (!sampled) return;
  if (SetUserVariableValue(&mainImage_, "run_test", 0.0, m_strErrorText) == 0) return TestFailed(1);
  if (CheckDriveErrors(1, kStoppedMask) == 0) return;
  bool allChanged = true;
  for (std::size_t k = 0; k < changed_.size(); ++k) {
    if (changed_[k]) continue;
    allChanged = false;
    SetChildText(kVoltageEdits[k], kBadSignalText);
  }
  if (!allChanged) return Fail(kUnchangedText);
  TestSucceeded(1);
}

std::vector<CMyTestDlg::TestResultLine> CTestLHHallSignals::ResultLines() const {
  std::vector<TestResultLine> lines;
  for (std::size_t k = 0; k < changed_.size(); ++k) {
    lines.push_back({std::string("Hall ") + char('A' + k), changed_[k] ? "OK" : kBadSignalText});
  }
  return lines;
}
