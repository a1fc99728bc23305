// CTestCurrent: the "Current Controller Tuning Test" (template 101). The user sets the test
// current and the over-current protection, tunes the current controller from a passband, moves
// its gains on sliders, and runs a step of the test current whose reference, measured current and
// voltage are logged and plotted. Beside the measured current the plot shows the response that
// the quantised gains predict, with rise time, overshoot and settling time of both; before Start
// a warning says when the gains about to be used are predicted unstable or badly damped.
//
// Steps: 0/1 the preliminary program, 2/3 the step program, 4 its upload. Gains changed while a
// run goes on are written to the drive at once.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/two_tab_test.h"
#include "compute/current_step_response.h"
#include "drivebase/graph.h"
#include "drivebase/logger.h"

class CTestCurrent : public CTwoTabTest {
 public:
  CTestCurrent(CMC_Setup* setup, CWnd* parent);
  ~CTestCurrent() override;

  static constexpr unsigned kTemplateId = 101;
  static constexpr unsigned kHelpContext = 0x40108;
  static constexpr int kTuneButton = 3149;
  static constexpr int kGraph = 1361;
  static constexpr int kSavePlots = 1372;
  static constexpr int kWarningText = 1378;     // the prediction's warning, beside the plot
  static constexpr int kRiseTimeText = 1380;    // measured and predicted figures of the last run
  static constexpr int kOvershootText = 1381;
  static constexpr int kSettlingText = 1382;
  static constexpr std::array<const char*, 7> kTexts{
      "Launching the application for preliminary test",
      "Waiting preliminary test to be finished",
      "Launching the application for test",
      "Running test",
      "Uploading results",
      "Test running. Press \"Stop\" to end the test",
      "Test failed!\nCurrent protection triggered during test!",
  };
  static constexpr const char* kProcedure =
      "1. Check/setup the test parameters below\r\n2. Go to the \"Test\" tab and press the \"Tune\" button\r\n"
      "3. Set the desired passband and tune the controller\r\n4. Press the \"Start\" button\r\n"
      "5. Wait until the test ends and displays the results\r\n"
      "6. If needed, change the controller parameters during the test, until you get satisfactory results";

  int TuneButtonId() const override { return kTuneButton; }
  std::vector<TestResultLine> ResultLines() const override;
  bool SaveAllPlots(std::string& error) override;

  void OnChangedParameterValue(const std::string& name) override;
  void OnRefreshParameterValue(const std::string& name) override;
  void BeginTest() override;

  // The current handed to the step program: internal value truncated to an integer, saturated
  // to the 16 bits of the program's variable.
  static int SaturatedCurrent(double internal);

  // The graph as shown (the logged curves and the predicted current) and the logger.
  const CGraphWindow& Graph() const { return graph_; }
  const CMC_SingleAxisLogger* Logger() const { return logger_.get(); }
  // The figures of the last run's measured step, and the prediction for that run.
  const std::optional<kestrel::StepMetrics>& MeasuredStep() const { return measured_; }
  const std::optional<kestrel::PredictedStep>& PredictedStepOfRun() const { return predicted_; }

 protected:
  bool OnInitDialog() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  void AcceptResults() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void BindParameters();
  void CreateLogger();
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchStepProgram();
  void FinishStepProgram();
  void UploadLoop();
  void ShowRunState() override;
  void ShowOwnControls(bool test) override;

  // Buttons and reactions.
  void OnTune();
  void OnSavePlots();
  void RecomputeFilterAndOffset();

  // The step response: prediction, figures, plot and warning.
  kestrel::PredictedStep Predict(double duration_s) const;
  void ShowPredictionWarning();
  void StartComparisonPlot();
  void AddComparisonRow();
  void FinishStepFigures();
  void ShowStepFigures();

  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  int testCurrent_ = 0;
  double openingKp_ = 0.0, openingKi_ = 0.0;

  // The plot shown: the logged columns and the predicted current, for the last run.
  CGraphDocument comparison_;
  CGraphFilter* comparisonFilter_ = nullptr;
  std::unique_ptr<CMC_SingleAxisLogger> logger_;
  CGraphWindow graph_{2, 0};
  double stepTime_s_ = -1.0;  // when the logged reference stepped; negative before
  double predictedPerAmpere_ = 1.0;  // the plotted current's unit per ampere
  std::optional<kestrel::StepMetrics> measured_;
  std::optional<kestrel::PredictedStep> predicted_;
};
