// CTuningTest: the base of the speed and position controller tuning tests (templates 102 and
// 103). The two differ only in the loop they tune, which a TuningLoop table describes: the names
// of the profile, gains and live values, the program, the register chains sent while a run goes
// on. Everything else is one code: the two tabs, the preliminary stage, the six-segment reference
// profile, the four ways of watching a run (data logger, live plot through the drive's scope or
// through values read by the test, multiple cycles), the live gain writes, "Tune", "Identify",
// the Filters dialog and the closing.
//
// Steps: 0/1 the preliminary program, 2/3 the main program, 4 the run, 5 the upload of the data
// logger (data-logger mode only).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/test_current.h"
#include "commissioning/two_tab_test.h"
#include "compute/current_step_response.h"
#include "compute/gain_pairs.h"
#include "compute/tuning_profile.h"
#include "drivebase/graph.h"
#include "drivebase/logger.h"
#include "drivebase/scope_logger.h"
#include "ui/controls.h"

// A gain whose change is sent to the drive at once while a run goes on: the registers computed
// from it, in the order they are computed and written.
struct LiveGainChain {
  const char* parameter;
  std::vector<const char*> registers;
};

// What tells the speed test from the position test.
struct TuningLoop {
  unsigned templateId;
  unsigned helpContext;
  const char* purpose;
  const char* procedure;
  kestrel::ProfileKind profileKind;
  const char* onlinePlot;     // OnlinePlotS / OnlinePlotP
  const char* multiCycle;     // MultiCycleS / MultiCycleP
  const char* referenceType;  // SpeedTestReferenceType / PositionTestReferenceType
  const char* distance;       // TestSpeed / TestPosition
  int distanceEdit, distanceUnit;
  std::array<const char*, 4> times;  // accelerate, hold positive, decelerate, hold negative
  const char* mainProgram;           // base name (position: with the speed loop)
  const char* mainProgramDirect;     // position without the speed loop; null for the speed test
  std::vector<kestrel::GainPair> tunedGains;  // written by Tune, in the order of the live writes
  bool (*tune)(CMC_Setup* setup);
  std::vector<LiveGainChain> liveChains;
  const char* integralLimit;  // IPSatS / IPSatP
  const char* passband;       // PB_S / PB_P
  std::array<const char*, 2> liveVariables;  // reference, measured
  std::array<int, 2> liveValueIds;
  const char* scopeOption;
  const char* plotName;
  int identifyButton;
};

class CTuningTest : public CTwoTabTest {
 public:
  CTuningTest(CMC_Setup* setup, const TuningLoop& loop, CWnd* parent);
  ~CTuningTest() override;

  static constexpr int kTuneButton = 1390;
  static constexpr int kLoggerGraph = 1361;
  static constexpr int kLiveGraph = 1362;
  static constexpr int kProfilePicture = 1322;
  static constexpr int kSavePlots = 1372;
  static constexpr int kFiltersButton = 3138;
  static constexpr int kPauseButton = 10016;
  static constexpr int kContinueButton = 10017;
  static constexpr int kReferenceSwatch = 3331;  // the live values' legend
  static constexpr int kMeasuredSwatch = 3332;
  static constexpr int kRiseTimeText = 1396;  // figures of the last run's measured response
  static constexpr int kOvershootText = 1397;
  static constexpr int kSettlingText = 1398;
  static constexpr unsigned kLivePlotMenu = 101;
  static constexpr unsigned kScaleChangeMessage = 0x467;
  static constexpr std::uint16_t kStartErrorMask = 0xFFFF;
  static constexpr std::uint16_t kRunErrorMask = 0xFFDF;  // all but a missing Hall sensor
  // A run that logged nothing (no upload's point, no scope frame), or whose upload stops before
  // the profile's first ramp has ended, while the drive shows no error.
  static constexpr const char* kNoDataText =
      "Test failed!\nNo data was logged during the test: the motor was stopped before the step. "
      "Check the drive's errors.";
  static constexpr const char* kTooFewPointsText =
      "Test failed!\nToo few points were logged to judge the response: the motor was stopped before the end of "
      "the first ramp. Check the drive's errors.";
  // The current test's steps: the preliminary stage, the test, the upload, and the protection.
  static constexpr const auto& kTexts = CTestCurrent::kTexts;

  int TuneButtonId() const override { return kTuneButton; }
  std::vector<TestResultLine> ResultLines() const override;
  bool SaveAllPlots(std::string& error) override;
  // Multiple cycles and live plots go on until stopped: two profiles' time.
  double UnattendedRun_s() const override;

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;
  void BeginTest() override;
  void OnBtnStartStop() override;

  const TuningLoop& Loop() const { return loop_; }
  const CMC_SingleAxisLogger* Logger() const { return logger_.get(); }
  const CMC_ScopeLogger* Scope() const { return scope_.get(); }
  const CMC_Oscilloscope& Oscilloscope() const { return oscilloscope_; }
  const CGraphWindow& LiveGraph() const { return liveGraph_; }
  const std::optional<kestrel::StepMetrics>& MeasuredResponse() const { return measured_; }
  // The figures of the response that the quantised gains predict for the last run.
  const std::optional<kestrel::StepMetrics>& PredictedResponse() const { return predicted_; }
  bool OnlineMode() const;
  bool ScopeSettingsChanged() const { return scopeSettingsChanged_; }

  // Adds the live plot's context menu (resource 101) to the program's menus.
  static void RegisterLivePlotMenu();
  // The handler of the drive's unsolicited messages while a tuning test is open (one at a time).
  static int OnUnsolicitedMessage(const std::uint16_t* message);

  // The first plateau of the logged reference: where it starts to move, the value it holds and
  // the row after which it leaves that value again.
  struct Plateau {
    double start_s = 0.0;
    double level = 0.0;
    std::size_t endRow = 0;
  };

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  void AcceptResults() override;
  const ui::MessageMap* GetMessageMap() const override;

  // The inputs of the main program that set its current limit; the position test sets IlimPS
  // in the setup as well.
  virtual void AddCurrentLimitInputs(std::vector<ProgramInput>& inputs);
  // Where the position test puts back what a run changed for its own use.
  virtual void RestoreSetupChangedForRun() {}
  // The data logger's variables, in their column order.
  virtual std::vector<const char*> LoggedVariables() const;

 private:
  // Opening and tabs (tuning_test.cpp).
  void BindParameters();
  void SnapTestSpeed();
  void SetSliderRange(const char* name, int slider, int edit, int fineSpin, int coarseSpin, int label);
  void CreateLoggers();
  void ShowOwnControls(bool test) override;
  void ShowRunState() override;
  void ShowProfilePicture();

  // Gains, reactions and the dialogs opened from the test (tuning_test_gains.cpp,
  // tuning_test_identify.cpp).
  void OnTune();
  void OnIdentify();
  // The question when the total is below the motor's own; false when the user cancelled it.
  bool AskMotorInertiaQuestion();
  void OnFilters();
  bool WriteRegistersToDrive(const std::vector<const char*>& registers);
  void RecomputeLoadRatio(const std::string& name);

  // The run (tuning_test_run.cpp).
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchMainProgram();
  bool AddProfileInputs(std::vector<ProgramInput>& inputs);
  void WatchDataLoggerRun();
  void FinishDataLoggerRun();
  void UploadDataLogger();
  bool RunChecks(bool fail);
  void TakeUpStop();
  // The logged rows that reach the plateau the figures measure, at most what the logger holds.
  std::size_t RowsToThePlateau() const;
  // Whether the upload holds the first ramp; else the run fails as FailForMissingData says.
  bool UploadHoldsTheStep();
  // Ends the run as failed with the drive's error (any bit, also one the run's mask drops) or,
  // without one, with the text of the missing data: nothing at all, or too little.
  void FailForMissingData(bool nothing);
  void FinishResponseFigures();
  std::vector<double> PredictedResponse(const CGraphDocument& logged, const Plateau& plateau) const;
  void DrawPredictedResponse(const std::vector<double>& predicted);

  // Live plots (tuning_test_live.cpp).
  void WatchScopeRun();
  void WatchOscilloscopeRun();
  void DrawFramePoints();
  void OnPause();
  void OnContinue();
  void OnContextMenu(CWnd* window, CPoint point);
  void OnCtlColor(CDC& dc, CWnd& control);
  void OnLivePlotCommand(unsigned id);
  LRESULT OnScaleChange(WPARAM wParam, LPARAM lParam);
  void OnSavePlots();
  void OnSaveMetafile();
  void OnExportText();

  // Scope defaults (tuning_test_scope.cpp).
  void SetScopeDefaults();
  void RescaleScopeChannels();
  double ScopeWindow_s() const;

  const TuningLoop& loop_;
  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  bool referencesValid_ = false;
  bool scopeSettingsChanged_ = false;
  bool paused_ = false;
  bool frameReceived_ = false;
  bool framesSeen_ = false;  // a scope frame with points has come since the launch
  bool stopPressedDuringUpload_ = false;
  bool acceptedOnClose_ = false;  // OK or Yes to the question: the setup keeps what the run set
  std::size_t drawnIndex_ = 0;  // where the live plot's next point goes
  std::vector<double> openingGains_;

  std::unique_ptr<CMC_SingleAxisLogger> logger_;
  std::unique_ptr<CMC_ScopeLogger> scope_;
  CMC_Oscilloscope oscilloscope_;
  CGraphWindow loggerGraph_{2, 0};
  CGraphWindow liveGraph_{4, 0};
  CMC_Comm::UnsolicitedMsgHandler previousHandler_ = nullptr;
  // The one tuning test that the drive's unsolicited messages reach (null while none is open).
  static CTuningTest* openTest_;
  std::optional<kestrel::StepMetrics> measured_, predicted_;
  kestrel::ReferenceProfile launchedProfile_;  // the profile of the last launch
};
