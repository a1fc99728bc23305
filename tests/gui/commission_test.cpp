// "Commission" over the front end's protocol, a road of two steps standing in for the real one;
// and the directories of the reports and what of them is served.
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "commissioning.h"
#include "gui_server.h"
#include "gui_session.h"
#include "host_window.h"
#include "page_client.h"
#include "ui/session.h"

namespace gui_test {
namespace {

namespace fs = std::filesystem;
using kestrel::cli::RoadRecord;
using kestrel::cli::StepRecord;
using nlohmann::json;

constexpr const char* kToken = "ffeeddccbbaa99887766554433221100";
const kestrel::cli::RoadStep kSteps[] = {
    {"phase", "Motor phases", kestrel::cli::RoadDialog::motorSetup, 1175, false, "the phase wiring", nullptr, {}},
    {"rl", "R and L", kestrel::cli::RoadDialog::motorSetup, 1177, false, "the test current", nullptr, {}}};

struct RoadCase {
  const char* what;
  bool stop;         // the page presses Stop during the first step
  bool secondFails;  // the second step's test fails
  std::size_t stepsShown;
  const char* nextCheck;
};

// Each step shows a text; the first waits for the test's word, sets the supply to 36 V and saves
// a plot. Like the real road, it puts its own user and observer on the loop.
RoadRecord TwoStepRoad(const RoadCase& road, const std::shared_future<void>& go, CMC_Setup& setup, ui::EventLoop& loop,
                       const fs::path& directory, kestrel::cli::RoadProgress& progress) {
  loop.SetUserAgent(nullptr);
  loop.SetDialogObserver(nullptr);
  RoadRecord record;
  for (const int number : {1, 2}) {
    if (progress.StopRequested()) return record;
    progress.StepBegan(kSteps[number - 1], number, 2);
    progress.StatusText("Measuring");
    StepRecord& ended = record.steps.emplace_back();
    ended.step = &kSteps[number - 1];
    if (number == 1) {
      go.wait();
      setup.FindParameter("Vdc")->SetValueInDisplayUnit(36.0);
      record.changes.push_back({"Vdc", "48", "36", "V"});
      ended.results = {{"R", "0.9 Ohm"}};
      fs::create_directories(directory / "plots");
      std::ofstream(directory / "plots" / "current.svg") << "<svg/>";
    }
    const bool fails = number == 2 && road.secondFails;
    ended.status = fails ? StepRecord::Status::failed : StepRecord::Status::passed;
    ended.errorText = fails ? "No current flows in phase C" : "";
    record.nextCheck = fails ? kSteps[1].nextCheck : "";
    progress.StepEnded(ended);
    if (fails) return record;
  }
  record.completed = true;
  return record;
}

fs::path NewFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + std::to_string(::getpid()));
  fs::create_directories(folder);
  return folder;
}

class CommissionTest : public ::testing::TestWithParam<RoadCase> {
 protected:
  CommissionTest() {
    window_.SaveAs(setupFile_.string());
    page_.SetSender([this](std::string message) { server_.Send(std::move(message)); });
    dialogs_ = std::thread([this] {
      ui::HeadlessSession session(&clock_);
      ui::RealTimeAgent agent(actions_, page_);
      session.Use(agent);
      session.Loop().SetDialogObserver(&page_);
      agent.Serve(session.Loop(), [] { return false; });
      EXPECT_EQ(session.Loop().Agent(), &agent) << "the page's user is back on the loop after the road";
      EXPECT_EQ(session.Loop().Observer(), &page_);
      session.Loop().SetDialogObserver(nullptr);
    });
  }
  ~CommissionTest() override {
    if (!released_) go_.set_value();
    actions_.Close();
    dialogs_.join();
    fs::remove_all(folder_);
  }
  Request At(const std::string& path) const {
    const std::string host = "127.0.0.1:" + std::to_string(server_.Port());
    return {path + "?token=" + kToken, host, path == "/ws" ? "http://" + host : ""};
  }

  const fs::path folder_ = NewFolder("kestrel-commission-");
  const fs::path setupFile_ = folder_ / "axis.json";
  kestrel::cli::Host host_;
  kestrel::gui::RecoveryFile recovery_{folder_ / "recovery.json"};
  kestrel::gui::HostWindow window_{host_, kestrel::cli::DriveOptions{"offline", "", ""}, "", &recovery_};
  std::promise<void> go_;
  bool released_ = false;
  ui::SteadyClock clock_;
  ui::ActionQueue actions_{clock_};
  kestrel::gui::ReportDirectories reports_;
  kestrel::gui::Commissioning commissioning_{
      {[this, go = go_.get_future().share()](CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive*,
                                             const std::string& directory, kestrel::cli::RoadProgress& progress) {
         return TwoStepRoad(GetParam(), go, setup, loop, directory, progress);
       },
       [](const RoadRecord& record, const std::string& directory) {
         std::ofstream(fs::path(directory) / "index.html") << record.setupName << ": " << record.steps.size();
       }},
      reports_,
      actions_};
  kestrel::gui::GuiSession page_{actions_, &window_, &commissioning_};
  kestrel::gui::GuiServer server_{{0, kToken},
                                  [this] { return page_.Greeting(); },
                                  [this](const std::string& message) { page_.Receive(message); },
                                  [this](std::string_view path) { return reports_.Find(path); }};
  std::thread dialogs_;
};

TEST_P(CommissionTest, ShowsTheRoadAsItGoesRefusesOtherActionsAndServesTheReport) {
  const RoadCase& road = GetParam();
  PageClient page(server_.Port(), At("/ws"));
  const json& state = page.State();
  const auto view = [&state] { return state["commission"]; };  // each patch makes a new state
  EXPECT_EQ(page.Act({{"op", "stop"}}), "commissioning is not running");
  page.Send({{"seq", 100}, {"op", "commission"}});
  page.WaitUntil([](const json& shown) {
    return shown["commission"].contains("steps") && shown["commission"]["steps"].size() == 1 &&
           shown["commission"]["steps"][0]["texts"].size() == 1;
  });
  EXPECT_EQ(view()["steps"][0], json::parse(R"({"number": 1, "name": "phase", "title": "Motor phases",
      "status": "running", "texts": ["Measuring"], "results": [], "outcome": "", "error": "", "notes": []})"));
  EXPECT_EQ(view()["count"], 2);
  EXPECT_EQ(page.Act({{"op", "save"}}), "commissioning is running");
  EXPECT_EQ(page.Act({{"op", "commission"}}), "commissioning is running");
  EXPECT_EQ(road.stop ? page.Act({{"op", "stop"}}) : "", "") << "a stop is taken at once, while the step runs";
  go_.set_value();
  released_ = true;
  while (page.ReadUntil("reply")["seq"] != 100) {
  }

  EXPECT_EQ(view()["running"], false);
  ASSERT_EQ(view()["steps"].size(), road.stepsShown);
  EXPECT_EQ(view()["steps"][0]["results"], json::parse(R"([["R", "0.9 Ohm"]])"));
  EXPECT_EQ(view()["steps"].back()["status"], road.secondFails ? "failed" : "passed");
  EXPECT_EQ(view()["steps"].back()["error"], road.secondFails ? "No current flows in phase C" : "");
  EXPECT_EQ(view()["completed"], !road.stop && !road.secondFails);
  EXPECT_EQ(view()["stopped"], road.stop);
  EXPECT_EQ(view()["nextCheck"], road.nextCheck);
  // The steps that passed stay in the window's setup, unsaved, and in the recovery file.
  EXPECT_EQ(window_.Setup().GetParameterValueInBaseUnit("Vdc"), 36.0);
  EXPECT_EQ(state["host"]["title"], "*axis.json - Kestrel");
  const std::string ended = view()["completed"] ? "completed" : "not completed";
  EXPECT_EQ(state["host"]["lastCommand"], "Commission: " + ended + ", 1 value changed");
  EXPECT_EQ(state["host"]["changes"], json::parse(R"([["Vdc", "48", "36", "V"]])"));
  EXPECT_TRUE(fs::exists(recovery_.Path()));

  EXPECT_EQ(view()["directory"], (folder_ / "axis-commissioning").string());
  ASSERT_EQ(view()["report"], "/reports/1/index.html");
  const Response report = HttpGet(server_.Port(), At("/reports/1/index.html"));
  EXPECT_EQ(report.contentType, "text/html; charset=utf-8");
  EXPECT_EQ(report.body, setupFile_.string() + ": " + std::to_string(road.stepsShown));
  EXPECT_EQ(HttpGet(server_.Port(), At("/reports/1/plots/current.svg")).body, "<svg/>");
}

INSTANTIATE_TEST_SUITE_P(
    Roads, CommissionTest,
    ::testing::Values(RoadCase{"EveryStepPasses", false, false, 2, ""},
                      RoadCase{"StoppedAfterTheFirstStep", true, false, 1,
                               "Commissioning was stopped on request after 1 of 2 steps; Commission runs the road "
                               "again from its first step."},
                      RoadCase{"TheSecondStepFails", false, true, 2, "the test current"}),
    [](const ::testing::TestParamInfo<RoadCase>& road) { return std::string(road.param.what); });

TEST(CommissionQueueTest, ADoubleClickStartsOneRoad) {
  kestrel::gui::ReportDirectories reports;
  ui::SteadyClock clock;
  ui::ActionQueue actions(clock);
  kestrel::gui::Commissioning commissioning({}, reports, actions);
  EXPECT_TRUE(commissioning.Queue(5));
  EXPECT_FALSE(commissioning.Queue(6)) << "the first has not begun yet";
  commissioning.Done(4);
  EXPECT_FALSE(commissioning.Queue(7));
  commissioning.Done(5);
  EXPECT_TRUE(commissioning.Queue(8));
}

// A new report directory beside the setup each time (a temporary one for the embedded default),
// and what a report's address may name: its own files, nothing outside its directory.
TEST(ReportDirectoryTest, IsANewOneEachTimeAndServesItsOwnFilesOnly) {
  const fs::path folder = NewFolder("kestrel-reports-");
  const std::string setup = (folder / "axis.json").string();
  const fs::path report = kestrel::gui::NewReportDirectory(setup);
  EXPECT_EQ(report, folder / "axis-commissioning");
  EXPECT_EQ(kestrel::gui::NewReportDirectory(setup), folder / "axis-commissioning-2");
  EXPECT_THROW(kestrel::gui::NewReportDirectory((folder / "missing" / "axis.json").string()), std::runtime_error);
  const fs::path temporary = kestrel::gui::NewReportDirectory("");
  EXPECT_EQ(temporary.filename().string().substr(0, 22), "kestrel-commissioning-");
  EXPECT_TRUE(fs::is_directory(temporary) && fs::is_empty(temporary));
  fs::remove(temporary);

  fs::create_directories(report / "plots");
  std::ofstream(report / "index.html") << "report";
  std::ofstream(report / "plots" / "a b.csv") << "t,i";
  std::ofstream(setup) << "{}";
  fs::create_symlink(setup, report / "plots" / "link.json");
  kestrel::gui::ReportDirectories reports;
  EXPECT_EQ(reports.Add(report), "/reports/1/index.html");
  for (const auto& [path, served] :
       {std::pair{"/reports/1/index.html", true}, std::pair{"/reports/1/plots/a%20b.csv", true},
        std::pair{"/reports/2/index.html", false}, std::pair{"/reports/1/", false}, std::pair{"/reports/1/plots", false},
        std::pair{"/reports/1/../axis.json", false}, std::pair{"/reports/1/%2e%2e/axis.json", false},
        std::pair{"/reports/1/plots/link.json", false}, std::pair{"/reports/1/plots//a%20b.csv", false},
        std::pair{"/reports/1/index.html%00.csv", false}, std::pair{"/reports/99999999999999999999/index.html", false}}) {
    EXPECT_EQ(reports.Find(path).has_value(), served) << path;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace gui_test
