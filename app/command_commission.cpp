// kestrel commission: the commissioning road in one action. Drive Setup opens through the
// plug-in's EditSetup and a careful user runs, in the order the setup dialogs' guidelines give,
// every test that fits the setup's motor and sensors, keeping what each finds; the road stops at
// the first step that fails. The setup is written with what was kept, and the report beside it.
#include <iostream>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "commission/road.h"
#include "commission/road_report.h"
#include "commission/road_runner.h"
#include "drive_options.h"
#include "table_text.h"
#include "ui/session.h"

namespace kestrel::cli {
namespace {

struct CommissionOptions {
  bool list = false;
  SetupSource source;
  std::string out;
  std::string report;
  std::string from;
  std::vector<std::string> only;
  std::vector<std::string> faults;
  DriveOptions drive;
};

// Progress on standard output: each step as it begins, the test's status texts, its results.
class ConsoleProgress final : public RoadProgress {
 public:
  void StepBegan(const RoadStep& step, int number, int count) override {
    std::cout << "[" << number << "/" << count << "] " << step.title << " (" << step.name << ")\n";
  }
  void StatusText(const std::string& text) override { std::cout << "    " << text << '\n'; }
  void StepEnded(const StepRecord& record) override {
    if (!record.outcome.empty()) std::cout << "    " << record.outcome << '\n';
    for (const CMC_TestDlg::TestResultLine& line : record.results) {
      std::cout << "    " << line.label << ": " << line.value << '\n';
    }
    for (const std::string& note : record.notes) std::cout << "    " << note << '\n';
  }
};

std::vector<const RoadStep*> Plan(const CMC_Setup& setup, const CommissionOptions& options) {
  try {
    return PlanRoad(setup, options.from, options.only);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
}

// The road the setup's motor and sensors call for, then the steps left out and why.
void ListSteps(const CMC_Setup& setup) {
  std::vector<std::vector<std::string>> rows;
  for (const RoadStep* step : PlanRoad(setup, "", {})) rows.push_back({std::string(step->name), std::string(step->title)});
  PrintTable(std::cout, rows);
  for (const std::string& skipped : SkippedSteps(setup)) std::cout << "not on this road: " << skipped << '\n';
}

int Commission(Host& host, const CommissionOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  if (options.list) {
    ListSteps(setup);
    return 0;
  }
  const std::vector<const RoadStep*> steps = Plan(setup, options);
  CheckFaults(options.drive, options.faults);
  ui::HeadlessSession session;
  DriveConnection connection(options.drive, setup);
  InjectFaults(connection, options.faults);

  ConsoleProgress progress;
  RoadRecord record =
      RunRoad(host.Plugin(), setup, session.Loop(), connection.SimulatedDrive(), {steps, options.report}, progress);
  record.setupName = options.source.Name();
  record.driveName = connection.Link().Description();

  if (!record.changes.empty()) {
    record.writtenTo =
        options.source.WriteAccepted(setup, options.out, record.completed ? "Commissioned" : "Kept what passed");
  } else {
    std::cout << "Nothing changed: nothing written\n";
  }
  if (!options.report.empty()) {
    WriteRoadReport(record, options.report);
    std::cout << "Report: " << options.report << "/index.html\n";
  }
  if (record.completed) return 0;
  if (record.steps.empty() || record.steps.back().status == StepRecord::Status::passed) {
    throw Failure("the road did not come to its end: Drive Setup was not confirmed");
  }
  const StepRecord& stopped = record.steps.back();
  throw Failure("stopped at " + std::string(stopped.step->title) + " (" + std::string(stopped.step->name) +
                "): " + stopped.errorText + "\nWhat to check next: " + record.nextCheck);
}

}  // namespace

void AddCommissionCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<CommissionOptions>();
  CLI::App* command = app.add_subcommand(
      "commission", "Commission the drive and motor: every test that fits the setup, in the order of the setup "
                    "dialogs' guidelines, each result kept; exits 0 when every step passed (the setup written), 1 "
                    "at the first step that fails (what passed before it written)");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write the commissioned setup to (default: the --setup file)");
  command->add_option("--report", options->report,
                      "Directory to write the report to (index.html, the plots as SVG and CSV)");
  command->add_option("--from", options->from, "Step to begin with (the steps before it are taken as done)");
  command->add_option("--only", options->only, "Steps to run, and no other (comma-separated)")->delimiter(',');
  command->add_flag("--list", options->list, "List the steps of the setup's road, then those left out and why");
  AddFaultOption(*command, options->faults);
  AddDriveOptions(*command, options->drive);
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return Commission(host, *options); });
  });
}

}  // namespace kestrel::cli
