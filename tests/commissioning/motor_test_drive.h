// A recording drive for the motor tests (phase connection, pole pairs, resistance and inductance):
// every program starts at once; the preliminary and the measuring programs end at once with the
// outputs a test gives them, the pole pairs program waits with the axis on and sweeps THTST one
// electrical turn on each Move (one read of THTST per millisecond), counting the moves.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../drivebase/memory_drive.h"
#include "commissioning/detect_pole_pairs.h"
#include "ui/event_loop.h"
#include "ui/test_agent.h"

namespace kestrel::commissioning_test {

class MotorTestDrive : public drivebase::test_support::MemoryDrive {
 public:
  MotorTestDrive() {
    values.insert({{"MER", {0, 1}}, {"REFTST_V", {3264, 1}}, {"RINCTST_V", {33, 1}}, {"var_i2", {-1, 1}}});
  }

  // What a program leaves when it ends: drive values and the points it logged.
  struct Outcome {
    std::map<std::string, double> values;
    std::vector<drivebase::LoggedPoint> logged;
  };
  // The outcome of a launch from its program and its In1.
  std::function<Outcome(const std::string& program, double in1)> outcome;

  bool Launch(const drivebase::ProgramLaunch& launch) override {
    if (!MemoryDrive::Launch(launch)) return false;
    memory["STARTED"] = 1;
    polePairs_ = launch.program.ends_with("Motor_Pole_Pairs_Detection_Test");
    axisOn = polePairs_;
    memory["poles_pairs"] = 0;
    if (polePairs_ || !outcome) return true;
    Outcome result = outcome(launch.program, memory.count("In1") != 0 ? memory["In1"] : 0.0);
    for (const auto& [name, value] : result.values) values[name] = {value, 1};
    logged_ = std::move(result.logged);
    return true;
  }
  bool WriteValue(std::string_view name, double internal, int words) override {
    if (name == "var_i2" && polePairs_ && internal == 0.0) sweepReads_ = kSweepReads;
    if (name == "var_i2" && polePairs_ && internal == 1.0) {
      axisOn = false;
      return MemoryDrive::WriteValue(name, memory["poles_pairs"] + handBackOffset, words);
    }
    return MemoryDrive::WriteValue(name, internal, words);
  }
  bool ReadValue(std::string_view name, int words, double& internal) override {
    if (name != "THTST") return MemoryDrive::ReadValue(name, words, internal);
    ui::Clock& clock = ui::CurrentEventLoop().Clock();
    clock.AdvanceTo(clock.Now() + ui::Milliseconds(1));
    if (sweepReads_ > 0 && --sweepReads_ == 0 && !stuck) memory["poles_pairs"] += 1;
    internal = sweepReads_ > 0 || stuck ? -10000 : -16383;
    return true;
  }
  bool GetAxisOn(bool& on) override {
    on = axisOn;
    return true;
  }
  bool StopProgram() override {
    axisOn = false;
    return true;
  }
  bool FitLoggerPoints(drivebase::LoggerSettings&) override { return true; }
  bool UploadLog(std::vector<drivebase::LoggedPoint>& points) override {
    points = logged_;
    return true;
  }

  bool axisOn = false;
  bool stuck = false;         // THTST never comes back to the rest angle
  double handBackOffset = 0;  // what the program hands back beside its count (a faulty program)

 private:
  static constexpr int kSweepReads = 50;  // THTST reads a move takes
  bool polePairs_ = false;
  int sweepReads_ = 0;
  std::vector<drivebase::LoggedPoint> logged_;
};

// Points of a steady run: the first (the logger's start) at 0, then `count` points of the values.
inline std::vector<drivebase::LoggedPoint> SteadyPoints(std::vector<double> values, int count = 399) {
  std::vector<drivebase::LoggedPoint> points{{0.0, std::vector<double>(values.size(), 0.0)}};
  for (int k = 1; k <= count; ++k) points.push_back({1e-4 * k, values});
  return points;
}

// The user of the pole pairs test waits until Move is shown and enabled, then presses Move, or
// Stop to end the count.
inline ui::TestAgent& PressWhenMoveOffered(ui::TestAgent& user, int button = CDetectPolePairs::kMoveButton) {
  constexpr int kMove = CDetectPolePairs::kMoveButton;
  const auto offered = [](ui::DialogDriver& dialog) { return dialog.IsVisible(kMove) && dialog.IsEnabled(kMove); };
  return user.RunUntil("Move is offered", offered).Click(button);
}

}  // namespace kestrel::commissioning_test
