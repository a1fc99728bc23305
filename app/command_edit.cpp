// kestrel edit: the setup dialogs, driven by a dialog script (kestrel gui is the interactive
// way). Drive Setup runs through the plug-in's EditSetup; --dialog opens one of the dialogs
// that Drive Setup opens alone, with the computations its opener runs before and after it.
#include <iostream>
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "dialogs/dialog_opener.h"
#include "drive_options.h"
#include "drivesim_link/simulator_steps.h"
#include "edit_trace.h"
#include "ui/script.h"
#include "ui/session.h"

namespace kestrel::cli {
namespace {

inline constexpr int kExitCancelled = 3;

struct EditOptions {
  SetupSource source;
  std::string out;
  std::string script;
  std::string dialog = "drive";
  bool trace = false;
  DriveOptions drive;
};

int RunEdit(Host& host, const EditOptions& options) {
  if (options.script.empty()) {
    throw UsageError("edit needs --script FILE (kestrel gui edits the setup interactively)");
  }
  CMC_Setup setup = host.LoadSetup(options.source);
  ui::HeadlessSession session;
  DriveConnection connection(options.drive, setup);
  // The script may act as the user at the machine (hand, inputs, environment) on a simulated drive.
  ui::StepVocabulary vocabulary;
  drivesim::link::AddSimulatorSteps(vocabulary, [&connection] { return connection.SimulatedDrive(); });
  const ui::Script script = ui::Script::Load(options.script, vocabulary);

  EditTrace trace(std::cout, session.MessageBoxes());
  if (options.trace) {
    session.Loop().SetDialogObserver(&trace);
    ui::SetMessageBoxPresenter(&trace);
  }
  ui::ScriptAgent agent(script);
  session.Use(agent);
  int confirmed = 0;
  try {
    confirmed = options.dialog == "drive" ? host.Plugin().editSetup(&setup)
                                          : (RunSetupDialogAlone(&setup, options.dialog) == IDOK ? 1 : 0);
  } catch (const ui::NoMoreActions& error) {
    throw Failure(options.script + ": the script ended too soon: " + error.what());
  }
  agent.CheckFinished(session.Loop());
  session.Loop().SetDialogObserver(nullptr);

  if (confirmed != 1) {
    std::cout << "Cancelled: nothing written\n";
    return kExitCancelled;
  }
  options.source.WriteAccepted(setup, options.out, "OK");
  return 0;
}

}  // namespace

void AddEditCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<EditOptions>();
  CLI::App* command = app.add_subcommand(
      "edit", "Edit the setup in Drive Setup (which opens Motor Setup), driven by a dialog script; exits 0 after "
              "OK (the setup written), 3 after Cancel (nothing written), 1 when a script step fails");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--out", options->out, "File to write after OK (default: the --setup file)");
  command->add_option("--script", options->script, "Dialog script that plays the user (docs/dialog-scripts.md)");
  command->add_option("--dialog", options->dialog,
                      "The dialog to open: drive (default), or one that Drive Setup opens, alone: motor, advanced, reference, info, filters")
      ->check(CLI::Validator(
          [](const std::string& name) {
            return name == "drive" || IsSetupDialogName(name) ? std::string() : "no dialog named '" + name + "'";
          },
          "DIALOG"));
  command->add_flag("--trace", options->trace, "Print each dialog opened and closed and each message box");
  AddDriveOptions(*command, options->drive);
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunEdit(host, *options); });
  });
}

}  // namespace kestrel::cli
