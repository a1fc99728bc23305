#include "commissioning.h"

#include <exception>
#include <system_error>

#include "host_window.h"
#include "ui/event_loop.h"

namespace kestrel::gui {
namespace {

using nlohmann::json;

json ResultRows(const std::vector<CMC_TestDlg::TestResultLine>& lines) {
  json rows = json::array();
  for (const CMC_TestDlg::TestResultLine& line : lines) rows.push_back({line.label, line.value});
  return rows;
}

// A road the user stopped ends after a step that passed, short of its last step.
bool StoppedOnRequest(const cli::RoadRecord& record) {
  return !record.completed &&
         (record.steps.empty() || record.steps.back().status == cli::StepRecord::Status::passed);
}

// Ends the claim of a road when the action ends, however it ends.
class RunningFlag {
 public:
  explicit RunningFlag(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace

std::optional<std::string> Commissioning::AnswerAtOnce(const json& message) {
  if (!message.is_object()) return std::nullopt;
  const auto op = message.find("op");
  const bool stop = op != message.end() && *op == "stop";
  if (!running_) return stop ? std::optional<std::string>("commissioning is not running") : std::nullopt;
  if (!stop) return kCommissioningRuns;
  stop_ = true;
  return "";
}

bool Commissioning::Queue(std::uint64_t sequence) {
  const std::lock_guard lock(queueMutex_);
  if (queued_) return false;
  queued_ = sequence;
  return true;
}

void Commissioning::Done(std::uint64_t sequence) {
  const std::lock_guard lock(queueMutex_);
  if (queued_ == sequence) queued_.reset();
}

void Commissioning::Run(HostWindow& host, ui::EventLoop& loop) {
  stop_ = false;  // before the page may stop this road
  const RunningFlag running(running_);
  const std::filesystem::path directory = NewReportDirectory(host.File());
  view_ = {{"running", true}, {"step", 0}, {"count", 0}, {"steps", json::array()}, {"nextCheck", ""},
           {"completed", false}, {"stopped", false}, {"directory", directory.string()}, {"report", ""}, {"error", ""}};
  loop_ = &loop;
  cli::RoadRecord record;
  try {
    record = RunRoad(host, loop, directory);
  } catch (const std::exception& failure) {
    loop_ = nullptr;
    view_["running"] = false;
    view_["error"] = "commissioning failed: " + std::string(failure.what());
    std::error_code ignored;
    std::filesystem::remove(directory, ignored);  // only when the road left nothing in it
    throw ui::ActionError(view_["error"].get<std::string>());
  }
  loop_ = nullptr;
  view_["running"] = false;
  Report(record, directory);
}

cli::RoadRecord Commissioning::RunRoad(HostWindow& host, ui::EventLoop& loop, const std::filesystem::path& directory) {
  Show();
  cli::RoadRecord record = host.Commission([&](CMC_Setup& setup, drivesim::Drive* simulated) {
    // The road puts its own user and observer on the loop while it runs; the page's are back after.
    const ui::KeepLoopUser page(loop);
    return road_.run(setup, loop, simulated, directory.string(), *this);
  });
  const bool stopped = StopRequested() && StoppedOnRequest(record);
  if (stopped && record.nextCheck.empty()) {
    record.nextCheck = "Commissioning was stopped on request after " + std::to_string(record.steps.size()) +
                       " of " + std::to_string(view_["count"].get<int>()) +
                       " steps; Commission runs the road again from its first step.";
  }
  view_["completed"] = record.completed;
  view_["stopped"] = stopped;
  if (!record.nextCheck.empty()) view_["nextCheck"] = record.nextCheck;
  return record;
}

void Commissioning::Report(const cli::RoadRecord& record, const std::filesystem::path& directory) {
  try {
    road_.writeReport(record, directory.string());
    view_["report"] = reports_.Add(directory);
  } catch (const std::exception& failure) {
    view_["error"] = "the report could not be written in " + directory.string() + ": " + failure.what();
    throw ui::ActionError(view_["error"].get<std::string>());
  }
}

void Commissioning::StepBegan(const cli::RoadStep& step, int number, int count) {
  view_["step"] = number;
  view_["count"] = count;
  view_["steps"].push_back({{"number", number},
                            {"name", std::string(step.name)},
                            {"title", std::string(step.title)},
                            {"status", "running"},
                            {"texts", json::array()},
                            {"results", json::array()},
                            {"outcome", ""},
                            {"error", ""},
                            {"notes", json::array()}});
  Show();
}

void Commissioning::StatusText(const std::string& text) {
  if (view_["steps"].empty()) return;
  view_["steps"].back()["texts"].push_back(text);
  Show();
}

void Commissioning::StepEnded(const cli::StepRecord& record) {
  if (view_["steps"].empty()) return;
  json& shown = view_["steps"].back();
  shown["status"] = std::string(cli::StatusName(record.status));
  shown["outcome"] = record.outcome;
  shown["error"] = record.errorText;
  shown["results"] = ResultRows(record.results);
  shown["notes"] = record.notes;
  if (record.status != cli::StepRecord::Status::passed && record.step != nullptr) {
    view_["nextCheck"] = std::string(record.step->nextCheck);
  }
  Show();
}

void Commissioning::Show() {
  if (show_ && loop_ != nullptr) show_(*loop_);
}

}  // namespace kestrel::gui
