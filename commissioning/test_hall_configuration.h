// CTestHallConfiguration: the "Hall Configuration Detection Test" (template 294;
// CTestHallConfiguration_lin, template 3068, for a linear motor). After the preliminary
// alignment the drive turns the current vector through one electrical revolution and back,
// notes the Hall state of every sector and reports the Hall configuration code (HALLCASE, 2 …
// 13: the order of the three signals and whether they are inverted) and the Hall shift, the
// offset of the Hall edges from their nominal angles. The test offers to keep both on closing.
//
// Steps: 0/1 the preliminary program, 2/3 the detection program, 4 following it to its end.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "commissioning/hall_test_displays.h"
#include "commissioning/my_test_dlg.h"

namespace kestrel {

// A Hall configuration code that the drive knows: 2 … 13.
bool IsValidHallConfiguration(int code);

}  // namespace kestrel

class CTestHallConfiguration : public CMyTestDlg {
 public:
  CTestHallConfiguration(CMC_Setup* setup, CWnd* parent);
  ~CTestHallConfiguration() override;

  static constexpr unsigned kTemplateId = 294;
  static constexpr unsigned kHelpContext = 262416;
  static constexpr int kCodeEdit = 1020;
  static constexpr std::array<const char*, 4> kTexts{
      "Launching code for the preliminary test",
      "Running the preliminary test",
      "Launching code for the Hall configuration detection test",
      "Running the test",
  };
  static constexpr const char* kNoValidCombinationText =
      "No valid combination was detected. Possibly, Hall signal(s) non functional.\nPlease do the Hall signals "
      "connection test. If the Hall signals connection test is OK, increase the test current and repeat the test.";
  // THTST of the phase diagram is turned by this much more than the encoder tests turn it.
  static constexpr double kPhaseAngleOffset = 19384.0;

  void BeginTest() override;
  std::vector<TestResultLine> ResultLines() const override;

  const HallTestDisplays& Displays() const { return displays_; }
  int Code() const { return code_; }
  int Shift() const { return shift_; }
  const std::string& PreliminaryProgram() const { return preliminaryProgram_; }
  const std::string& DetectionProgram() const { return mainProgram_; }

 protected:
  CTestHallConfiguration(CMC_Setup* setup, bool linear, unsigned templateId, CWnd* parent);
  bool OnInitDialog() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  bool ListsEveryComparedValue() const override { return true; }
  void AcceptResults() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchDetectionProgram();
  void FollowDetection();
  void ReadOutcome();
  void ShowPosition(int position);

  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  int lines_ = 0;        // encoder lines per revolution, from the setup at opening
  int testCurrent_ = 0;  // internal units, taken at Start
  int code_ = 0;
  int shift_ = 0;
  HallTestDisplays displays_;
};

class CTestHallConfiguration_lin : public CTestHallConfiguration {
 public:
  CTestHallConfiguration_lin(CMC_Setup* setup, CWnd* parent);
  static constexpr unsigned kTemplateId = 3068;
};
