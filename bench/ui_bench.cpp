// The dialog framework's event loop: window timers on virtual time.
#include <chrono>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "ui/dialog.h"
#include "ui/dialog_template.h"
#include "ui/message_map.h"
#include "ui/session.h"
#include "ui/template_library.h"
#include "ui/test_agent.h"

namespace {

constexpr unsigned kTickingTemplate = 9900;

// A dialog whose timer handler counts its ticks.
class TickingDialog : public CDialog {
 public:
  TickingDialog() : CDialog(kTickingTemplate) {
    static const bool added = [] {
      ui::DialogTemplates().Add(ui::ParseDialogTemplate(
          R"({"id": 9900, "caption": "Ticking", "groups": [{"rows": [[{"id": 2, "kind": "button", "text": "Close"}]]}]})",
          "ui_bench"));
      return true;
    }();
    benchmark::DoNotOptimize(added);
  }

  std::uint64_t ticks = 0;

 protected:
  const ui::MessageMap* GetMessageMap() const override {
    static const ui::MessageMap map =
        ui::MessageMapBuilder<TickingDialog>(CDialog::GetMessageMap()).Timer(&TickingDialog::OnTimer).Build();
    return &map;
  }

 private:
  void OnTimer(std::uintptr_t) { ++ticks; }
};

// Target: under 1 us to dispatch one tick of a 20 ms timer (advance the clock, take the timer, run
// its handler through the dialog's message map).
void DispatchATimerTick(benchmark::State& state) {
  ui::HeadlessSession session;
  TickingDialog dialog;
  ui::TestAgent user;
  user.Do("tick", [&](ui::DialogDriver&) {
        dialog.SetTimer(1, 20);
        for (auto _ : state) session.Loop().AdvanceBy(std::chrono::milliseconds(20));
      })
      .Close(IDCANCEL);
  ui::RunWithAgent(dialog, user);
  if (dialog.ticks != static_cast<std::uint64_t>(state.iterations())) state.SkipWithError("a tick was lost");
}
BENCHMARK(DispatchATimerTick);

// Target: one simulated hour of a 20 ms timer (180 000 ticks), waited for by a user agent through
// the modal loop, in under a second.
void SimulateAnHourOfA20MsTimer(benchmark::State& state) {
  for (auto _ : state) {
    ui::HeadlessSession session;
    TickingDialog dialog;
    ui::TestAgent user;
    user.Do("start the timer", [&](ui::DialogDriver&) { dialog.SetTimer(1, 20); })
        .Wait(std::chrono::hours(1))
        .Close(IDCANCEL);
    ui::RunWithAgent(dialog, user);
    if (dialog.ticks != 180'000) state.SkipWithError("the hour did not tick 180 000 times");
  }
}
BENCHMARK(SimulateAnHourOfA20MsTimer)->Unit(benchmark::kMillisecond);

}  // namespace
