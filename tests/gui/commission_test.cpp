// "Commission" over the front end's protocol, with a road of two steps standing in for the real
// one: its progress on the page as it goes, the page's other actions refused while it runs, a
// Stop that ends it before its next step, a failed step's text and what to check next, the
// report written beside the setup and served; and the guard on the served reports' paths.
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
using kestrel::cli::RoadStep;
using kestrel::cli::StepRecord;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kToken = "ffeeddccbbaa99887766554433221100";

const RoadStep kSteps[] = {
    {"phase", "Motor phases", kestrel::cli::RoadDialog::motorSetup, 1175, "phase", false, "the phase wiring", nullptr, {}},
    {"rl", "Resistance and inductance", kestrel::cli::RoadDialog::motorSetup, 1177, "rl", false,
     "the phase wiring and the test current", nullptr, {}}};

struct RoadCase {
  const char* what;
  bool stop;         // the page presses Stop during the first step
  bool secondFails;  // the second step's test fails
  std::size_t stepsShown;
  bool completed;
  std::string nextCheck;
};

// The road: each step shows a text, the first waits for the test's word, each passes (but for a
// second that fails) with a result line and a plot, and the first sets the supply to 36 V.
class TwoStepRoad {
 public:
  TwoStepRoad(const RoadCase& road, std::shared_future<void> go) : case_(road), go_(std::move(go)) {}

  RoadRecord operator()(CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive*, const std::string& directory,
                        kestrel::cli::RoadProgress& progress) const {
    loop.SetUserAgent(nullptr);  // as the road puts its own user and observer on the loop
    loop.SetDialogObserver(nullptr);
    RoadRecord record;
    for (int number = 1; number <= 2; ++number) {
      if (progress.StopRequested()) return record;
      const RoadStep& step = kSteps[number - 1];
      progress.StepBegan(step, number, 2);
      progress.StatusText("Measuring " + std::string(step.name));
      if (number == 1) go_.wait();
      StepRecord& ended = record.steps.emplace_back();
      ended.step = &step;
      if (number == 2 && case_.secondFails) {
        ended.errorText = "No current flows in phase C";
        record.nextCheck = step.nextCheck;
        progress.StepEnded(ended);
        return record;
      }
      ended.status = StepRecord::Status::passed;
      ended.results = {{"Found", std::to_string(number)}};
      const fs::path plots = fs::path(directory) / "plots" / ("0" + std::to_string(number) + "-" + std::string(step.name));
      fs::create_directories(plots);
      std::ofstream(plots / "current.svg") << "<svg>" << step.name << "</svg>";
      if (number == 1) {
        setup.FindParameter("Vdc")->SetValueInDisplayUnit(36.0);
        record.changes.push_back({"Vdc", "48", "36", "V"});
      }
      progress.StepEnded(ended);
    }
    record.completed = true;
    return record;
  }

 private:
  RoadCase case_;
  std::shared_future<void> go_;
};

fs::path NewFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + std::to_string(::getpid()));
  fs::create_directories(folder);
  return folder;
}

void WriteReport(const RoadRecord& record, const std::string& directory) {
  std::ofstream(fs::path(directory) / "index.html")
      << "<p>" << record.setupName << ": " << record.steps.size() << " steps</p>";
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
    Go();
    actions_.Close();
    dialogs_.join();
    fs::remove_all(folder_);
  }

  void Go() {
    if (!released_) go_.set_value();
    released_ = true;
  }
  Request At(const std::string& path) const {
    return {path + "?token=" + kToken, "127.0.0.1:" + std::to_string(server_.Port()), ""};
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
  kestrel::gui::Commissioning commissioning_{{TwoStepRoad(GetParam(), go_.get_future().share()), WriteReport},
                                             reports_, actions_};
  kestrel::gui::GuiSession page_{actions_, &window_, &commissioning_};
  kestrel::gui::GuiServer server_{{0, kToken},
                                  [this] { return page_.Greeting(); },
                                  [this](const std::string& message) { page_.Receive(message); },
                                  [this](std::string_view path) { return reports_.Find(path); }};
  std::thread dialogs_;
};

TEST_P(CommissionTest, ShowsTheRoadAsItGoesRefusesOtherActionsAndServesTheReport) {
  const RoadCase& road = GetParam();
  Request ws = At("/ws");
  ws.origin = "http://" + ws.host;
  PageClient page(server_.Port(), ws);
  const json& state = page.State();
  page.ReadUntil("state");
  EXPECT_EQ(page.Act({{"op", "stop"}}), "commissioning is not running");

  page.Send({{"seq", 100}, {"op", "commission"}});
  page.WaitUntil([](const json& shown) { return !shown["commission"].is_null() && shown["commission"]["steps"].size() == 1 &&
                                                 shown["commission"]["steps"][0]["texts"].size() == 1; });
  const auto view = [&state] { return state["commission"]; };  // each patch makes a new state
  EXPECT_EQ(view()["running"], true);
  EXPECT_EQ(view()["steps"][0], json::parse(R"({"number": 1, "name": "phase", "title": "Motor phases",
      "status": "running", "texts": ["Measuring phase"], "results": [], "outcome": "", "error": "", "notes": []})"));
  EXPECT_EQ(view()["count"], 2);
  EXPECT_EQ(page.Act({{"op", "save"}}), "commissioning is running");
  EXPECT_EQ(page.Act({{"op", "commission"}}), "commissioning is running");
  if (road.stop) {
    EXPECT_EQ(page.Act({{"op", "stop"}}), "");
  }
  Go();
  if (road.stepsShown == 2) {
    page.WaitUntil([](const json& shown) { return shown["commission"]["steps"].size() == 2; });
    EXPECT_EQ(view()["steps"][1]["status"], "running") << "the second step shown as it begins";
  }
  for (json reply = page.ReadUntil("reply"); reply["seq"] != 100; reply = page.ReadUntil("reply")) {
  }

  EXPECT_EQ(view()["running"], false);
  ASSERT_EQ(view()["steps"].size(), road.stepsShown);
  EXPECT_EQ(view()["steps"][0]["results"], json::parse(R"([["Found", "1"]])"));
  EXPECT_EQ(view()["steps"].back()["status"], road.secondFails ? "failed" : "passed");
  EXPECT_EQ(view()["steps"].back()["error"], road.secondFails ? "No current flows in phase C" : "");
  EXPECT_EQ(view()["completed"], road.completed);
  EXPECT_EQ(view()["stopped"], road.stop);
  EXPECT_EQ(view()["nextCheck"], road.nextCheck);
  EXPECT_EQ(view()["directory"], (folder_ / "axis-commissioning").string());
  EXPECT_EQ(view()["error"], "");

  // The steps that passed stay in the window's setup, unsaved, and in the recovery file.
  EXPECT_EQ(window_.Setup().GetParameterValueInBaseUnit("Vdc"), 36.0);
  EXPECT_THAT(state["host"]["title"].get<std::string>(), StartsWith("*axis.json"));
  EXPECT_EQ(state["host"]["lastCommand"],
            std::string(road.completed ? "Commission: completed" : "Commission: not completed") + ", 1 value changed");
  EXPECT_EQ(state["host"]["changes"], json::parse(R"([["Vdc", "48", "36", "V"]])"));
  EXPECT_TRUE(fs::exists(recovery_.Path()));

  ASSERT_EQ(view()["report"], "/reports/1/index.html");
  const Response report = HttpGet(server_.Port(), At("/reports/1/index.html"));
  EXPECT_EQ(report.status, 200u);
  EXPECT_EQ(report.contentType, "text/html; charset=utf-8");
  EXPECT_EQ(report.body, "<p>" + setupFile_.string() + ": " + std::to_string(road.stepsShown) + " steps</p>");
  EXPECT_EQ(HttpGet(server_.Port(), At("/reports/1/plots/01-phase/current.svg")).body, "<svg>phase</svg>");
  EXPECT_EQ(HttpStatus(server_.Port(), At("/reports/1/../../axis.json")), 404u);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, CommissionTest,
    ::testing::Values(RoadCase{"EveryStepPasses", false, false, 2, true, ""},
                      RoadCase{"StoppedAfterTheFirstStep", true, false, 1, false,
                               "Commissioning was stopped on request after 1 of 2 steps; Commission runs the road "
                               "again from its first step."},
                      RoadCase{"TheSecondStepFails", false, true, 2, false, "the phase wiring and the test current"}),
    [](const ::testing::TestParamInfo<RoadCase>& road) { return std::string(road.param.what); });

// What a report's address may name: its own files, nothing outside its directory.
class ReportPathTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {
 protected:
  ReportPathTest() {
    fs::create_directories(report_ / "plots");
    std::ofstream(report_ / "index.html") << "report";
    std::ofstream(report_ / "plots" / "a b.csv") << "t,i";
    std::ofstream(folder_ / "secret.json") << "{}";
    fs::create_symlink(folder_ / "secret.json", report_ / "plots" / "link.json");
    reports_.Add(report_);
  }
  ~ReportPathTest() override { fs::remove_all(folder_); }

  const fs::path folder_ = NewFolder("kestrel-reports-");
  const fs::path report_ = folder_ / "axis-commissioning";
  kestrel::gui::ReportDirectories reports_;
};

TEST_P(ReportPathTest, IsServedOnlyInsideTheReport) {
  const auto& [path, served] = GetParam();
  EXPECT_EQ(reports_.Find(path).has_value(), served) << path;
}

INSTANTIATE_TEST_SUITE_P(Paths, ReportPathTest,
                         ::testing::Values(std::pair{"/reports/1/index.html", true},
                                           std::pair{"/reports/1/plots/a%20b.csv", true},
                                           std::pair{"/reports/2/index.html", false},
                                           std::pair{"/reports/1/", false}, std::pair{"/reports/1/plots", false},
                                           std::pair{"/reports/1/../secret.json", false},
                                           std::pair{"/reports/1/%2e%2e/secret.json", false},
                                           std::pair{"/reports/1/plots/link.json", false},
                                           std::pair{"/reports/1/plots//a%20b.csv", false},
                                           std::pair{"/reports/1/index.html%00.csv", false},
                                           std::pair{"/reports/99999999999999999999/index.html", false}));

TEST(ReportDirectoryTest, IsANewOneBesideTheSetupEachTimeOrATemporaryOneForTheDefault) {
  const fs::path folder = NewFolder("kestrel-report-dirs-");
  const std::string setup = (folder / "axis.json").string();
  EXPECT_EQ(kestrel::gui::NewReportDirectory(setup), folder / "axis-commissioning");
  EXPECT_EQ(kestrel::gui::NewReportDirectory(setup), folder / "axis-commissioning-2");
  const fs::path temporary = kestrel::gui::NewReportDirectory("");
  EXPECT_THAT(temporary.filename().string(), StartsWith("kestrel-commissioning-"));
  EXPECT_TRUE(fs::is_directory(temporary) && fs::is_empty(temporary));
  EXPECT_THROW(kestrel::gui::NewReportDirectory((folder / "missing" / "axis.json").string()), std::runtime_error);
  fs::remove_all(folder);
  fs::remove(temporary);
}

}  // namespace
}  // namespace gui_test
