// The analogue reference test (template 104): while the user turns a potentiometer on the analogue
// reference input, the dialog shows the input voltage and the command it means in the present
// control mode, each as a number and a bar, until the user presses Stop. The drive's program only
// keeps the input's ADC (AD5) live with the axis off.
//
// Steps: 0/1 the program (launched without an image), 2 following the input at each tick.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "drivebase/bar_graph.h"

class CTestAnalogueRef : public CMyTestDlg {
 public:
  CTestAnalogueRef(CMC_Setup* setup, CWnd* parent);

  static constexpr unsigned kTemplateId = 104;
  static constexpr unsigned kHelpContext = 262404;
  static constexpr int kVoltageEdit = 1010;
  static constexpr int kCommandEdit = 1011;
  static constexpr int kCommandName = 1013;
  static constexpr int kVoltageBar = 1014;
  static constexpr int kCommandBar = 1015;
  static constexpr int kVoltageUnit = 1016;
  static constexpr int kCommandUnit = 1017;
  static constexpr std::array<const char*, 2> kTexts{"Launching test", "Running test"};
  static constexpr double kPotentiometerTurn_s = 3.0;

  void BeginTest() override;
  void OnBtnStartStop() override;
  double UnattendedRun_s() const override { return kPotentiometerTurn_s + 1.0; }
  std::optional<PotentiometerTurn> UnattendedPotentiometer() const override;
  std::vector<TestResultLine> ResultLines() const override;

  const CBarGraph& VoltageBar() const { return voltageBar_; }
  const CBarGraph& CommandBar() const { return commandBar_; }

 protected:
  bool OnInitDialog() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  // The span that a setting of the input stands for: its lower and upper end as the setup reads
  // them (a negative scale may put the lower above the upper).
  struct Span {
    double lower = 0.0;
    double upper = 0.0;
    // The value at an ADC count of `count` out of `fullScale`, rounded to two decimals.
    double At(double count, double fullScale) const;
  };
  // The input's voltage span from AnalogueInputsRange: 20 gives ±10 V, 5 gives 0 … 5 V, any other
  // 0 … 3.3 V.
  static Span VoltageSpan(double analogueInputsRange);
  // Where a bar with these ends starts: at 0 when the span holds it, else at its lower end.
  static double BarReference(double lower, double upper);

  // The command's span, name and the parameter whose unit it shows, by ControlMode; none for a
  // mode without an analogue command.
  struct Command {
    Span span;
    std::string name;
    std::string unit;
  };
  static std::optional<Command> CommandOf(const CMC_Setup* setup);

  void OnTimer(std::uintptr_t id);
  void FollowInput();
  // A bar shows a value between the span's ends in their order, drawn from its reference.
  static void ShowOnBar(CBarGraph& bar, const Span& span, double value);

  std::string program_;
  Span voltage_;
  std::optional<Command> command_;
  CBarGraph voltageBar_;
  CBarGraph commandBar_;
};
