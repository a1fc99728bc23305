// The graphical front end's server: a click's round trip, from the page's message in to the
// changed control states and the reply out, on Motor Setup opened by Drive Setup on the default
// setup. The network is left out: the page's WebSocket adds only its own latency.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "gui_session.h"
#include "host_window.h"
#include "ui/session.h"

namespace {

using nlohmann::json;

// The dialogs' thread of a kestrel gui session, and a page that talks to it in process.
class LiveSession {
 public:
  LiveSession() {
    page_.SetSender([this](std::string message) {
      const std::lock_guard lock(mutex_);
      messages_.push_back(std::move(message));
      arrived_.notify_one();
    });
    dialogs_ = std::thread([this] {
      ui::HeadlessSession session(&clock_);
      ui::RealTimeAgent agent(actions_, page_);
      session.Use(agent);
      session.Loop().SetDialogObserver(&page_);
      try {
        agent.Serve(session.Loop(), [] { return false; });
      } catch (const std::runtime_error&) {
        // The benchmark ended with the dialogs open: closing the actions unwinds them.
      }
      session.Loop().SetDialogObserver(nullptr);
    });
  }
  ~LiveSession() {
    actions_.Close();
    dialogs_.join();
  }

  void Send(json action) {
    action["seq"] = ++sequence_;
    page_.Receive(action.dump());
  }

  // Sends the action and waits for its reply; returns the reply's error.
  std::string Act(json action) {
    Send(std::move(action));
    std::unique_lock lock(mutex_);
    for (;;) {
      arrived_.wait(lock, [this] { return !messages_.empty(); });
      const json message = json::parse(messages_.front());
      messages_.pop_front();
      if (message["type"] == "reply" && message["seq"] == sequence_) return message["error"];
    }
  }

  json State() const { return json::parse(page_.Greeting())["state"]; }

 private:
  kestrel::cli::Host host_;
  ui::SteadyClock clock_;
  ui::ActionQueue actions_{clock_};
  kestrel::gui::HostWindow window_{host_, kestrel::cli::DriveOptions{"offline", "", ""}, ""};
  kestrel::gui::GuiSession page_{actions_, &window_};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::string> messages_;
  std::uint64_t sequence_ = 0;
  std::thread dialogs_;
};

void ClickRoundTripInMotorSetup(benchmark::State& state) {
  LiveSession live;
  live.Send({{"op", "edit-setup"}});  // replied to once the dialogs close
  json dialogs;
  while ((dialogs = live.State()["dialogs"]).size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int motorSetup = dialogs[1]["serial"];
  for (auto _ : state) {
    // "Reverse encoder counting": the check box toggles and the dialog reacts to it.
    const std::string error = live.Act({{"op", "click"}, {"dialog", motorSetup}, {"id", 3358}});
    if (!error.empty()) state.SkipWithError(error.c_str());
  }
}
BENCHMARK(ClickRoundTripInMotorSetup)->Unit(benchmark::kMillisecond);

}  // namespace
