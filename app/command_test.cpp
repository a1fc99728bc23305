// kestrel test: one commissioning test opened the way its button in a setup dialog opens it,
// run without a screen by a dialog script or by a careful user (test_runner_agent.h), its
// outcome and results printed, its plots saved, and the setup written when the values are kept.
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "commissioning/test_catalogue.h"
#include "compute/setup_access.h"
#include "dialogs/setup_values.h"
#include "drivebase/graph.h"
#include "drive_options.h"
#include "drivesim_link/simulator_steps.h"
#include "edit_trace.h"
#include "repeated_runs.h"
#include "test_runner_agent.h"
#include "ui/dialog.h"
#include "ui/script.h"
#include "ui/session.h"
#include "ui/window.h"

namespace kestrel::cli {
namespace {

inline constexpr int kExitNotKept = 3;

struct TestOptions {
  std::string name;
  SetupSource source;
  std::string out;
  std::string script;
  bool tune = false;
  std::string answer = "yes";
  std::string plots;
  bool trace = false;
  bool list = false;
  int repeat = 1;
  DriveOptions drive;
};

// The pole pairs test needs a user who watches the shaft: a script, or the one who watches the
// simulated shaft.
bool NeedsWatchedShaft(const TestOptions& options) {
  return options.script.empty() && dialogs::SameName(options.name, "pole-pairs");
}

// What the test showed when it closed: its outcome and results printed, its plots saved after
// a success, whether the question to keep the values was answered No; every dialog goes on to
// the trace when there is one.
class TestReport : public ui::DialogObserver {
 public:
  TestReport(std::ostream& out, const ui::HeadlessMessageBoxes& boxes, bool savePlots, ui::DialogObserver* trace)
      : out_(out), boxes_(boxes), savePlots_(savePlots), trace_(trace) {}

  void DialogOpened(CDialog& dialog) override {
    if (trace_ != nullptr) trace_->DialogOpened(dialog);
  }

  void DialogClosed(CDialog& dialog, int endCode) override {
    if (auto* test = dynamic_cast<CMC_TestDlg*>(&dialog)) Report(*test);
    if (trace_ != nullptr) trace_->DialogClosed(dialog, endCode);
  }

  bool Failed() const { return failed_; }
  bool Succeeded() const { return succeeded_; }
  bool Declined() const { return declined_; }
  const std::string& ErrorText() const { return errorText_; }
  const std::string& PlotError() const { return plotError_; }

 private:
  void Report(CMC_TestDlg& test) {
    succeeded_ = test.Result() == 1;
    failed_ = !succeeded_ && !test.ErrorText().empty();
    errorText_ = test.ErrorText();
    // The last box before the close is the question, when the test asked it.
    const auto& boxes = boxes_.Shown();
    declined_ = succeeded_ && !boxes.empty() && (boxes.back().style & MB_TYPEMASK) == MB_YESNOCANCEL &&
                boxes.back().answer == IDNO;
    const ui::Window* outcome = test.GetSafeHwnd() ? test.GetSafeHwnd()->FindChild(drivebase::kOutcomeText) : nullptr;
    if (outcome != nullptr && !outcome->text.empty()) out_ << outcome->text << '\n';
    if (test.Result() != 1) return;
    for (const CMC_TestDlg::TestResultLine& line : test.ResultLines()) out_ << line.label << ": " << line.value << '\n';
    if (savePlots_ && !test.SaveAllPlots(plotError_) && plotError_.empty()) plotError_ = "a plot could not be saved";
  }

  std::ostream& out_;
  const ui::HeadlessMessageBoxes& boxes_;
  bool savePlots_;
  ui::DialogObserver* trace_;
  bool failed_ = false;
  bool succeeded_ = false;
  bool declined_ = false;
  std::string errorText_;
  std::string plotError_;
};

// Names in a column at least 12 wide, two spaces before the longest name's title.
void ListTests() {
  std::size_t width = 12;
  for (const CommissioningTest& test : CommissioningTests()) width = std::max(width, test.name.size() + 2);
  for (const CommissioningTest& test : CommissioningTests()) {
    std::cout << std::left << std::setw(static_cast<int>(width)) << test.name << test.title << '\n';
  }
}

void CheckOptions(const TestOptions& options) {
  if (options.name.empty()) throw UsageError("test needs the NAME of a test ('kestrel test --list' lists them)");
  if (!IsCommissioningTestName(options.name)) {
    throw UsageError("no test named '" + options.name + "' ('kestrel test --list' lists them)");
  }
  if (!options.script.empty() && (options.tune || options.answer != "yes" || options.repeat != 1)) {
    throw UsageError("--tune, --answer and --repeat stand for the user without a script; with --script the script "
                     "presses the buttons and answers the questions");
  }
  if (NeedsWatchedShaft(options) && (options.tune || options.repeat != 1)) {
    throw UsageError("test pole-pairs: the user counts the moves until the shaft is back at its mark; there is "
                     "nothing to tune or to repeat");
  }
  if (NeedsWatchedShaft(options) && options.drive.drive != "simulator") {
    throw UsageError("test pole-pairs needs a user who watches the motor shaft: run it on the simulated drive, or "
                     "give the user's steps with --script");
  }
}

// Motor Setup offers the pole pairs test for rotary motors only: a linear motor is described by
// its magnetic pole pitch, and no mark on it comes back after a number of moves.
void CheckMotorKind(const CMC_Setup& setup, const TestOptions& options) {
  if (!dialogs::SameName(options.name, "pole-pairs")) return;
  const int transmission = dialogs::Code(&setup, "TransmissionType");
  if (!IsMotorSideRotary(transmission)) {
    throw UsageError("test pole-pairs: the setup's motor is linear (TransmissionType " + std::to_string(transmission) +
                     "); its magnetic pole pitch describes it, not a number of pole pairs");
  }
}

// The user without a script; each run that passed adds its measured values to `runs`.
std::unique_ptr<CarefulUser> UserWithoutScript(const TestOptions& options, DriveConnection& connection,
                                               RepeatedRuns& runs) {
  const int answer = options.answer == "no" ? IDNO : IDYES;
  if (NeedsWatchedShaft(options)) return std::make_unique<PolePairsUser>(*connection.SimulatedDrive(), answer);
  drivesim::Drive* simulated = connection.SimulatedDrive();
  std::unique_ptr<CarefulUser> user;
  if (simulated != nullptr) {
    user = std::make_unique<HandUser>(*simulated, options.tune, answer, options.repeat);
  } else {
    user = std::make_unique<CarefulUser>(options.tune, answer, options.repeat);
  }
  if (options.repeat > 1) user->onRunPassed = [&runs](CMC_TestDlg& test) { runs.Add(test.MeasuredValues()); };
  return user;
}

void UsePlotDirectory(const std::string& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error || !std::filesystem::is_directory(directory)) {
    throw Failure("--plots " + directory + ": not a directory that plots can be saved in" +
                  (error ? " (" + error.message() + ")" : std::string()));
  }
  drivebase::SetPlotDirectory(directory);
}

// Runs the test with the user given; returns its end code.
int RunWithUser(CMC_Setup& setup, const TestOptions& options, ui::HeadlessSession& session,
                DriveConnection& connection, RepeatedRuns& runs) {
  if (options.script.empty()) {
    const std::unique_ptr<CarefulUser> user = UserWithoutScript(options, connection, runs);
    session.Use(*user);
    return RunTestAlone(&setup, options.name);
  }
  ui::StepVocabulary vocabulary;
  drivesim::link::AddSimulatorSteps(vocabulary, [&connection] { return connection.SimulatedDrive(); });
  ui::ScriptAgent agent(ui::Script::Load(options.script, vocabulary));
  session.Use(agent);
  try {
    const int endCode = RunTestAlone(&setup, options.name);
    agent.CheckFinished(session.Loop());
    return endCode;
  } catch (const ui::NoMoreActions& error) {
    throw Failure(options.script + ": the script ended too soon: " + error.what());
  }
}

int RunTest(Host& host, const TestOptions& options) {
  if (options.list) {
    ListTests();
    return 0;
  }
  CheckOptions(options);
  CMC_Setup setup = host.LoadSetup(options.source);
  CheckMotorKind(setup, options);
  if (!options.plots.empty()) UsePlotDirectory(options.plots);
  ui::HeadlessSession session;
  DriveConnection connection(options.drive, setup);

  EditTrace trace(std::cout, session.MessageBoxes());
  TestReport report(std::cout, session.MessageBoxes(), !options.plots.empty(), options.trace ? &trace : nullptr);
  session.Loop().SetDialogObserver(&report);
  if (options.trace) ui::SetMessageBoxPresenter(&trace);
  RepeatedRuns runs;
  const int endCode = RunWithUser(setup, options, session, connection, runs);
  session.Loop().SetDialogObserver(nullptr);

  if (runs.MeasuresNothing()) {
    throw Failure("--repeat: the test " + options.name + " measures no values that runs could be compared by");
  }
  runs.Print(std::cout);
  if (report.Failed()) throw Failure(report.ErrorText());
  if (!report.PlotError().empty()) throw Failure("--plots " + options.plots + ": " + report.PlotError());
  if (endCode != IDOK && report.Succeeded() && !report.Declined()) {
    std::cout << "Nothing to keep: the test changed no value, nothing written\n";
    return 0;
  }
  if (endCode != IDOK) {
    std::cout << "Not kept: nothing written\n";
    return kExitNotKept;
  }
  options.source.WriteAccepted(setup, options.out, "Kept");
  return 0;
}

}  // namespace

void AddTestCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<TestOptions>();
  CLI::App* command = app.add_subcommand(
      "test", "Run a commissioning test as its setup dialog's button opens it; exits 0 when it succeeded and its "
              "values were kept (the setup written), 1 when it failed (nothing written), 3 when they were not kept");
  command->add_option("NAME", options->name, "The test ('kestrel test --list' lists them)");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write when the values are kept (default: the --setup file)");
  command->add_option("--script", options->script,
                      "Dialog script that plays the user (docs/dialog-scripts.md); without it a careful user runs the test");
  command->add_flag("--tune", options->tune, "Press the test's \"Tune\" button before Start");
  command->add_option("--answer", options->answer, "Answer to the question whether to keep the values: yes (default) or no")
      ->check(CLI::IsMember({"yes", "no"}));
  command->add_option("--plots", options->plots, "Directory to save every plot of the test in, as SVG and CSV");
  command->add_flag("--trace", options->trace, "Print each dialog opened and closed and each message box");
  command->add_flag("--list", options->list, "List the tests and their titles");
  command->add_option("--repeat", options->repeat,
                      "Run the test N times in a row and print each run's measured values with their mean and spread")
      ->check(CLI::Range(2, 1000));
  AddDriveOptions(*command, options->drive);
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunTest(host, *options); });
  });
}

}  // namespace kestrel::cli
