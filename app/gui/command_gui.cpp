// kestrel gui: the host's main window and the plug-in's dialogs in a browser page on this
// machine. The dialogs run on this thread on the real clock; the page's server runs on its own.
#include <pthread.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

#include "cli_error.h"
#include "commands.h"
#include "commission/road.h"
#include "commission/road_report.h"
#include "commissioning.h"
#include "drive_options.h"
#include "gui_server.h"
#include "gui_session.h"
#include "host_window.h"
#include "ui/session.h"

namespace kestrel::cli {
namespace {

struct GuiOptions {
  SetupSource source;
  std::string recovery = gui::RecoveryFile::DefaultPath().string();
  DriveOptions drive;
  unsigned short port = 0;
  bool noBrowser = false;
};

// Closes the actions when the process is asked to stop (Ctrl+C, SIGTERM), so that the dialogs
// unwind. The signals are taken by a thread of its own: the others, started after, block them.
class StopOnSignal {
 public:
  explicit StopOnSignal(ui::ActionQueue& actions) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    waiter_ = std::thread([this, &actions] {
      int signal = 0;
      sigwait(&signals_, &signal);
      if (signal != SIGUSR1) actions.Close();
    });
  }
  ~StopOnSignal() {
    pthread_kill(waiter_.native_handle(), SIGUSR1);
    waiter_.join();
    pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  sigset_t signals_{};
  std::thread waiter_;
};

// The user's default browser, when the desktop has one.
void OpenBrowser(const std::string& address) {
  if (std::system("command -v xdg-open >/dev/null 2>&1") != 0) return;
  const std::string command = "xdg-open '" + address + "' >/dev/null 2>&1 &";
  if (std::system(command.c_str()) != 0) std::cerr << "could not open a browser: open the address by hand\n";
}

// The road of `kestrel commission` on the whole plan for the setup, and its report.
gui::CommissionRoad Road(Host& host) {
  return {[&host](CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive* simulated, const std::string& reportDirectory,
                  RoadProgress& progress) {
            return RunRoad(host.Plugin(), setup, loop, simulated, {PlanRoad(setup, "", {}), reportDirectory}, progress);
          },
          [](const RoadRecord& record, const std::string& directory) { WriteRoadReport(record, directory); }};
}

int RunGui(Host& host, const GuiOptions& options) {
  ui::SteadyClock clock;
  ui::HeadlessSession session(&clock);
  ui::ActionQueue actions(clock);
  StopOnSignal stop(actions);
  gui::RecoveryFile recovery(options.recovery);
  gui::HostWindow window(host, options.drive, options.source.path, &recovery);
  gui::ReportDirectories reports;
  gui::Commissioning commissioning(Road(host), reports, actions);
  gui::GuiSession page(actions, &window, &commissioning);
  gui::GuiServer server({options.port, ""}, [&page] { return page.Greeting(); },
                        [&page](const std::string& message) { page.Receive(message); },
                        [&reports](std::string_view path) { return reports.Find(path); });
  page.SetSender([&server](std::string message) { server.Send(std::move(message)); });
  ui::RealTimeAgent agent(actions, page);
  session.Use(agent);
  session.Loop().SetDialogObserver(&page);

  // The first thing the page sees: the unsaved changes a session that did not end left behind.
  actions.Post({0, {"offer recovery", [&window](ui::StepContext&) { window.OfferRecovery(); }, std::nullopt}});
  std::cout << "Kestrel is at " << server.Address() << '\n' << std::flush;
  if (!options.noBrowser) OpenBrowser(server.Address());
  try {
    agent.Serve(session.Loop(), [&page] { return page.QuitRequested(); });
  } catch (const ui::NoMoreActions&) {
    // Stopped by a signal while a dialog was open: the dialogs have unwound.
  } catch (const ui::UnansweredMessageBox&) {
    // Stopped by a signal while a message box waited for its answer.
  }
  session.Loop().SetDialogObserver(nullptr);
  std::cout << "Kestrel has stopped\n";
  return 0;
}

}  // namespace

void AddGuiCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<GuiOptions>();
  CLI::App* command = app.add_subcommand(
      "gui", "The host's main window and the plug-in's dialogs in a browser page on this machine; prints the "
             "page's address, which carries the session's token");
  command->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  command->add_option("--port", options->port, "Port on 127.0.0.1 (default: a free one)");
  command->add_flag("--no-browser", options->noBrowser, "Only print the address; do not open a browser");
  command->add_option("--recovery", options->recovery,
                      "Where unsaved changes are kept until they are saved (default: " + options->recovery + ")");
  AddDriveOptions(*command, options->drive);
  command->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunGui(host, *options); });
  });
}

}  // namespace kestrel::cli
