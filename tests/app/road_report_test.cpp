// The commissioning report's page: texts escaped, where a stopped road stopped, the runs' spread
// worked by hand, the plots inline or said missing, and the page written without harm to an old one.
#include "commission/road_report.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "commission/report_results.h"

namespace kestrel::cli {
namespace {

namespace fs = std::filesystem;
using Status = StepRecord::Status;

bool Fits(const CMC_Setup&) { return true; }
const RoadStep kPhase{"phase", "Phase connections", RoadDialog::motorSetup, 1193, false, "", Fits, {}};
const RoadStep kRl{"rl", "Resistance and inductance", RoadDialog::motorSetup, 1190, false, "", Fits, {}};

StepRecord Step(const RoadStep& step, Status status, std::string errorText = {}) {
  StepRecord record;
  record.step = &step;
  record.status = status;
  record.errorText = std::move(errorText);
  return record;
}

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// What WriteRoadReport threw; empty when it did not.
std::string FailureOf(const RoadRecord& record, const fs::path& directory) {
  try {
    WriteRoadReport(record, directory.string());
  } catch (const std::runtime_error& failure) {
    return failure.what();
  }
  return {};
}

class ReportDirectory : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(directory_); }
  void TearDown() override { fs::remove_all(directory_); }
  const fs::path directory_ = fs::temp_directory_path() / ("road_report_test-" + std::to_string(::getpid()));
};

// A hostile text in any field the record carries reaches the page escaped.
TEST(RoadReportHtml, EveryTextOfTheRecordIsEscaped) {
  const std::string hostile = "<<script>alert('x')</script> & \"q\">>";
  const std::string escaped = "&lt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;&gt;&gt;";
  const std::vector<std::function<void(RoadRecord&)>> placements{
      [&](RoadRecord& r) { r.setupName = hostile; }, [&](RoadRecord& r) { r.driveName = hostile; },
      [&](RoadRecord& r) { r.motor = {{hostile, "1"}}; }, [&](RoadRecord& r) { r.drive = {{"Vdc", hostile}}; },
      [&](RoadRecord& r) { r.nextCheck = hostile; }, [&](RoadRecord& r) { r.writtenTo = hostile; },
      [&](RoadRecord& r) { r.skipped = {hostile}; }, [&](RoadRecord& r) { r.changes = {{"pp", hostile, "4", ""}}; },
      [&](RoadRecord& r) { r.steps[0].errorText = hostile; }, [&](RoadRecord& r) { r.steps[0].outcome = hostile; },
      [&](RoadRecord& r) { r.steps[0].statusTexts = {hostile}; }, [&](RoadRecord& r) { r.steps[0].notes = {hostile}; },
      [&](RoadRecord& r) { r.steps[0].results = {{hostile, hostile}}; },
      [&](RoadRecord& r) { r.steps[0].gains = {{hostile, "1", "KPI", "SFTKPI", 1, 2}}; },
      [&](RoadRecord& r) { r.steps[0].runs = {{{hostile, "Ohm", 1.0}}, {{hostile, "Ohm", 1.0}}}; },
      [&](RoadRecord& r) { r.steps[0].changes = {{hostile, "0", "1", "A"}}; },
      [&](RoadRecord& r) { r.steps[0].plotDirectory = "plots", r.steps[0].plots = {hostile}; },
  };
  for (std::size_t k = 0; k < placements.size(); ++k) {
    RoadRecord record;
    record.steps = {Step(kPhase, Status::failed)};
    placements[k](record);
    const std::string page = RoadReportHtml(record, "/nonexistent");
    EXPECT_EQ(page.find("<script"), std::string::npos) << "placement " << k;
    EXPECT_NE(page.find(escaped), std::string::npos) << "placement " << k;
  }
}

// Where the road ended and what the page says about it.
TEST(RoadReportHtml, SummarySaysWhereTheRoadEnded) {
  struct Case {
    bool completed;
    std::vector<Status> statuses;
    std::vector<std::string> expected;
  };
  const std::string error = "Phase resistance too high:\r\n\tR = 12 Ohm <<check>>";
  const std::vector<Case> cases{
      {true, {Status::passed, Status::passed},
       {"Commissioning completed: every step passed.", "The setup was written to setups/drive.json.",
        "<a href=\"#step-rl\">Resistance and inductance</a> <span class=\"passed\">passed</span>"}},
      {false, {Status::passed, Status::failed},
       {"Stopped at step 2 (Resistance and inductance): <span class=\"error-text\">Phase resistance too high:"
        "\r\n\tR = 12 Ohm &lt;&lt;check&gt;&gt;</span>",
        "What to check next: <span class=\"error-text\">The motor&#39;s phase wiring</span>",
        "The setup was not written.", "<section class=\"step\" id=\"step-rl\">",
        "<pre class=\"error\">\nPhase resistance too high:\r\n\tR = 12 Ohm &lt;&lt;check&gt;&gt;</pre>"}},
      {false, {Status::notKept}, {"Stopped at step 1 (Phase connections)</p>", "class=\"not-kept\">not kept</span>"}},
      {false, {}, {"Commissioning not completed.", "The commissioning changed nothing in the setup."}},
  };
  for (const Case& c : cases) {
    RoadRecord record;
    record.completed = c.completed;
    record.writtenTo = c.completed ? "setups/drive.json" : "";
    record.nextCheck = c.completed ? "" : "The motor's phase wiring";
    for (std::size_t k = 0; k < c.statuses.size(); ++k)
      record.steps.push_back(Step(k == 0 ? kPhase : kRl, c.statuses[k], c.statuses[k] == Status::failed ? error : ""));
    const std::string page = RoadReportHtml(record, "/nonexistent");
    for (const std::string& text : c.expected) EXPECT_NE(page.find(text), std::string::npos) << text;
    EXPECT_EQ(page.find("What to check next") != std::string::npos, !c.completed);
  }
}

// R from three runs, 0.90, 0.91, 0.92: deviations −0.01, 0, 0.01, Σ² = 2e-4, / (3 − 1) → σ = 0.01,
// 1.0989 % of 0.91. A value whose mean is 0 has no spread in %; one a run lacks is left out there,
// one only a later run reports still shown.
TEST(RoadReportResults, RunsTableMeanAndSampleSpread) {
  const std::vector<std::vector<CMC_TestDlg::MeasuredValue>> runs{
      {{"R", "Ohm", 0.90}, {"offset", "A", -0.5}, {"L", "H", 2e-3}},
      {{"R", "Ohm", 0.91}, {"offset", "A", 0.5}},
      {{"R", "Ohm", 0.92}, {"offset", "A", 0.0}, {"L", "H", 3e-3}, {"T", "degC", 25}}};
  const std::vector<std::vector<std::string>> expected{
      {"R", "Ohm", "0.9", "0.91", "0.92", "0.91", "0.01", "1.0989"},
      {"offset", "A", "-0.5", "0.5", "0", "0", "0.5", "-"},
      {"L", "H", "0.002", "-", "0.003", "0.0025", "0.000707107", "28.2843"},
      {"T", "degC", "-", "-", "25", "25", "-", "-"}};
  EXPECT_EQ(RunsTableRows(runs), expected);
  EXPECT_EQ(RunsTableHeader(3).size(), expected.front().size());
}

// The current test names its metrics "(measured)"/"(predicted)", the tuning tests the measured one
// plainly; a line without its pair stays a line, a gain's line goes to the gains' table.
TEST(RoadReportResults, MetricsPairedMeasuredWithPredicted) {
  struct Case {
    std::vector<CMC_TestDlg::TestResultLine> results;
    std::vector<std::string> lines;
    std::vector<std::string> metrics;  // metric|measured|predicted
  };
  const std::vector<Case> cases{
      {{{"Kp_C_scl", "0.5 (KPI = 16384, SFTKPI = 1)"}, {"Rise time (measured)", "0.3 ms"},
        {"Rise time (predicted)", "0.28 ms"}, {"Overshoot (measured)", "4 %"}},
       {"Overshoot (measured)"}, {"Rise time|0.3 ms|0.28 ms"}},
      {{{"Settling time (predicted)", "9 ms"}, {"Overshoot", "2 %"}, {"Rise time", "5 ms"},
        {"Rise time (predicted)", "4.5 ms"}, {"Overshoot (predicted)", "1.5 %"}},
       {"Settling time (predicted)"}, {"Overshoot|2 %|1.5 %", "Rise time|5 ms|4.5 ms"}},
  };
  for (const Case& c : cases) {
    const ArrangedResults arranged = ArrangeResults(c.results, {{"Kp_C_scl", "0.5", "KPI", "SFTKPI", 16384, 1}});
    std::vector<std::string> lines, metrics;
    for (const auto& line : arranged.lines) lines.push_back(line.label);
    for (const MetricPair& m : arranged.metrics) metrics.push_back(m.metric + "|" + m.measured + "|" + m.predicted);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(metrics, c.metrics);
  }
}

// Each plot: its SVG inline (what precedes <svg> dropped, a viewBox to scale by, its ids its own)
// with the CSV linked, or what is wrong with it in its place; the rest of the page is still there.
TEST_F(ReportDirectory, PlotsInlineOrSaidMissingInPlace) {
  WriteFile(directory_ / "step 3" / "CurrentTuning.svg",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE svg>\n<svg width=\"640\" height=\"300px\"><clipPath id=\"plot-area\"/>"
            "<g clip-path=\"url(#plot-area)\"/><use href=\"#plot-area\"/></svg>\n");
  WriteFile(directory_ / "step 3" / "CurrentTuning.csv", "t,I\n0,0\n");
  WriteFile(directory_ / "step 3" / "Text.svg", "plain text");
  fs::create_directories(directory_ / "step 3" / "Folder.svg");
  RoadRecord record;
  record.steps = {Step(kPhase, Status::passed)};
  record.steps[0].plotDirectory = "step 3";
  record.steps[0].plots = {"CurrentTuning", "Missing", "Text", "Folder", "../CurrentTuning"};
  record.changes = {{"KPI", "1", "2", ""}};
  const std::string page = RoadReportHtml(record, directory_.string());
  for (const std::string text :
       {"<div class=\"svg\">\n<svg viewBox=\"0 0 640 300\" width=\"640\" height=\"300px\"><clipPath "
        "id=\"s1p1-plot-area\"/><g clip-path=\"url(#s1p1-plot-area)\"/><use href=\"#s1p1-plot-area\"/></svg>\n</div>",
        "<a href=\"step%203/CurrentTuning.csv\">CurrentTuning.csv</a>",
        "<p class=\"problem\">The plot file step 3/Missing.svg is missing.</p>",
        "its values (step 3/Text.csv) are missing", "The plot file step 3/Text.svg holds no SVG picture.",
        "The plot file step 3/Folder.svg cannot be read: it is a folder.",
        "The plot name \"../CurrentTuning\" is not a file's name", "<td>KPI</td><td>1</td><td>2</td>"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(page.find("DOCTYPE svg"), std::string::npos);
}

// The page is written into a folder made for it; a failure names the file and its cause and
// leaves the page already there as it was.
TEST_F(ReportDirectory, WritesThePageOrFailsWithoutHarm) {
  RoadRecord record;
  record.setupName = "drive.json";
  const fs::path nested = directory_ / "report" / "today";
  WriteRoadReport(record, nested.string());
  EXPECT_EQ(ReadFile(nested / "index.html"), RoadReportHtml(record, nested.string()));

  WriteFile(directory_ / "file", "x");
  const std::string notADirectory = FailureOf(record, directory_ / "file" / "report");
  EXPECT_NE(notADirectory.find("file/report/index.html"), std::string::npos) << notADirectory;
  EXPECT_NE(notADirectory.find("Not a directory"), std::string::npos) << notADirectory;

  // A file size limit makes the write fail even for root, who may write into any folder.
  WriteFile(nested / "index.html", "the report of yesterday");
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit tiny{64, saved.rlim_max};
  ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &tiny);
  const std::string tooLarge = FailureOf(record, nested);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, SIG_DFL);
  EXPECT_NE(tooLarge.find("today/index.html': writing: File too large"), std::string::npos) << tooLarge;
  EXPECT_EQ(ReadFile(nested / "index.html"), "the report of yesterday");
  EXPECT_EQ(std::distance(fs::directory_iterator(nested), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace kestrel::cli
