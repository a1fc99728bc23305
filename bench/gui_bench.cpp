// The graphical front end's server: a click's round trip, from the page's message in to the
// changed control states and the reply out, on Motor Setup opened by Drive Setup on the default
// setup; and a live plot's points through the state channel. The network is left out: the page's
// WebSocket adds only its own latency.
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "drivebase/graph.h"
#include "gui_session.h"
#include "host_window.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "ui/test_agent.h"

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

// A live current plot: time, reference, measured current and voltage, on two Y axes.
class LivePlotDialog : public CDialog {
 public:
  LivePlotDialog() : CDialog(9363) {
    ui::DialogTemplates().Add(ui::ParseDialogTemplate(
        R"({"id": 9363, "caption": "Live Plot", "groups": [{"rows": [[{"id": 1361, "kind": "graph"}],
            [{"id": 2, "kind": "button", "text": "Cancel"}]]}]})",
        "live plot"));
    document.SetColumns(
        {{"time", "s"}, {"Current_Reference", "A"}, {"Motor_Current", "A"}, {"Voltage_Reference", "V"}});
    filter.Add(CXYCurve(1, 0, 1, 2, RGB16(2)));
    filter.Add(CXYCurve(2, 0, 3, 2, RGB16(8)));
    filter.Add(CXYCurve(1, 0, 2, 2, RGB16(5)));
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    graph.SubclassDlgItem(1361, this, &filter);
    return true;
  }
  CGraphDocument document;
  CGraphFilter& filter = document.AddFilter();
  CGraphWindow graph{2, 0};
};

// Each publish carries the rows appended since the one before: 10 rows, as a 10 ms tick delivers
// them at 1000 points per second, on a plot that grows to 10 000 points (ten seconds) and is then
// cleared. Items are points: the figure must stay far above 1000 per second.
void LivePlotPointsThroughTheStateChannel(benchmark::State& state) {
  constexpr int kRowsPerTick = 10;
  constexpr std::size_t kLongestPlot = 10'000;
  ui::HeadlessSession session;
  ui::TestAgent user;
  LivePlotDialog dialog;
  kestrel::gui::StateChannel channel;
  std::size_t bytes = 0;
  user.Do("publish the plot as it grows", [&](ui::DialogDriver&) {
        const auto serialOf = [](const CDialog&) { return 1; };
        for (auto _ : state) {
          if (dialog.document.RowCount() >= kLongestPlot) {
            dialog.document.ClearRows();
            dialog.graph.RefreshGraph();
          }
          for (int i = 0; i < kRowsPerTick; ++i) {
            const double t = 1e-3 * static_cast<double>(dialog.document.RowCount());
            dialog.document.AddRow({t, 3.0, 3.0 - 3.0 * std::exp(-t / 0.05), 12.0 + std::sin(t)});
            dialog.graph.UpdateLastPoint();
          }
          const json shown = {{"dialogs", json::array({kestrel::gui::DialogState(dialog, 1)})}};
          const std::optional<std::string> patch =
              channel.Publish(shown, kestrel::gui::PlotSeriesOf({&dialog}, serialOf));
          bytes += patch ? patch->size() : 0;
        }
      })
      .Close(IDCANCEL);
  ui::RunWithAgent(dialog, user);
  state.SetItemsProcessed(state.iterations() * kRowsPerTick);
  state.counters["patch_bytes"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(LivePlotPointsThroughTheStateChannel)->Unit(benchmark::kMicrosecond);

}  // namespace
