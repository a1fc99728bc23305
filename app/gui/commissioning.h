// The "Commission" action of kestrel gui: the commissioning road run on the main window's setup
// and drive, on the dialogs' thread, its progress shown on the page as it goes (the step k of n
// and its title, the texts its test shows, each step's results as it ends, a failed step's error
// and what to check next), then its report written into a new directory beside the setup and
// served to the page.
//
// The road plays the user itself: it puts its own user on the event loop while it runs, so the
// page's actions cannot reach the dialogs meanwhile. They are answered at once on the server's
// thread instead: refused with "commissioning is running", but for "stop", which ends the road
// before its next step (the steps that passed are kept). A kestrel gui that is asked to stop
// (Ctrl+C) ends the road the same way.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "commission/road_runner.h"
#include "report_directories.h"
#include "ui/real_time_agent.h"

namespace kestrel::gui {

class HostWindow;

// What the action runs: the road on its plan (RunRoad on PlanRoad's steps for the setup, the
// plots saved in the report directory) and the report's writer (WriteRoadReport).
struct CommissionRoad {
  using Run = std::function<cli::RoadRecord(CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive* simulated,
                                            const std::string& reportDirectory, cli::RoadProgress& progress)>;
  using WriteReport = std::function<void(const cli::RoadRecord& record, const std::string& directory)>;
  Run run;
  WriteReport writeReport;
};

inline constexpr const char* kCommissioningRuns = "commissioning is running";

class Commissioning final : public cli::RoadProgress {
 public:
  // `actions`: the page's actions; once they close, a road that runs ends before its next step.
  Commissioning(CommissionRoad road, ReportDirectories& reports, const ui::ActionSource& actions)
      : road_(std::move(road)), reports_(reports), actions_(actions) {}

  // Server's thread: the reply to give at once to a page's message while a road runs (a "stop"
  // is taken, anything else refused); none when the message is for the dialogs' thread.
  std::optional<std::string> AnswerAtOnce(const nlohmann::json& message);
  // Server's thread: a "commission" action goes to the dialogs' thread; false when one waits there
  // already (a double click), which is to be refused.
  bool Queue(std::uint64_t sequence);
  // Dialogs' thread: the action of that sequence number was done or refused.
  void Done(std::uint64_t sequence);

  // Dialogs' thread, with no dialog open: runs the road on the window's setup, in place, and
  // writes its report. Throws when the report directory cannot be made, and ui::ActionError when
  // the road fails or its report cannot be written (the view says so too).
  void Run(HostWindow& host, ui::EventLoop& loop);

  // Dialogs' thread: what the page shows of the last road, null before the first one:
  // {"running", "step", "count", "steps": [{"number", "name", "title", "status", "texts",
  // "results": [[label, value]], "outcome", "error", "notes"}], "nextCheck", "completed",
  // "stopped", "directory", "report", "error"}.
  const nlohmann::json& View() const { return view_; }
  // Dialogs' thread: told whenever the view changes while the road runs (the page is shown it).
  void SetShow(std::function<void(ui::EventLoop& loop)> show) { show_ = std::move(show); }

  void StepBegan(const cli::RoadStep& step, int number, int count) override;
  void StatusText(const std::string& text) override;
  void StepEnded(const cli::StepRecord& record) override;
  bool StopRequested() override { return stop_ || actions_.Closed(); }

 private:
  cli::RoadRecord RunRoad(HostWindow& host, ui::EventLoop& loop, const std::filesystem::path& directory);
  // The report written and served; the view gets its address.
  void Report(const cli::RoadRecord& record, const std::filesystem::path& directory);
  void Show();

  CommissionRoad road_;
  ReportDirectories& reports_;
  const ui::ActionSource& actions_;
  std::mutex queueMutex_;
  std::optional<std::uint64_t> queued_;  // the "commission" action that has not been done yet
  std::atomic<bool> running_ = false;
  std::atomic<bool> stop_ = false;
  nlohmann::json view_;  // dialogs' thread only
  ui::EventLoop* loop_ = nullptr;  // while a road runs
  std::function<void(ui::EventLoop& loop)> show_;
};

}  // namespace kestrel::gui
