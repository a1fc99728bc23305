#include "commission/road_runner.h"

#include <algorithm>
#include <array>

#include "commission/road_recorder.h"
#include "commission/road_user.h"
#include "commissioning/save_question.h"
#include "compute/setup_access.h"
#include "drivebase/graph.h"
#include "setup_changes.h"
#include "ui/event_loop.h"

namespace kestrel::cli {
namespace {

// The road's user and recorder on the loop, and the plot directory it moves from step to step; the
// loop's user, observer and plot directory as they were are back however the road ends.
class LoopScope {
 public:
  LoopScope(ui::EventLoop& loop, ui::UserAgent& agent, ui::DialogObserver& observer)
      : keep_(loop), plotDirectory_(drivebase::PlotDirectory()) {
    loop.SetUserAgent(&agent);
    loop.SetDialogObserver(&observer);
  }
  ~LoopScope() { drivebase::SetPlotDirectory(plotDirectory_); }
  LoopScope(const LoopScope&) = delete;
  LoopScope& operator=(const LoopScope&) = delete;

 private:
  const ui::KeepLoopUser keep_;
  std::string plotDirectory_;
};

struct Described {
  const char* label;
  const char* parameter;
};

// clang-format off
constexpr std::array kRotaryMotor{
    Described{"Pole pairs", "pp"},              Described{"Torque constant", "K"},
    Described{"Phase resistance", "R"},         Described{"Phase inductance", "L"},
    Described{"Motor inertia", "Jm"},           Described{"Total inertia", "Jt"},
    Described{"Nominal current", "In"},         Described{"Peak current", "ImaxM"},
    Described{"Encoder lines", "No_encoder_lines"}, Described{"Hall configuration", "HALLCASE"},
};
constexpr std::array kLinearMotor{
    Described{"Magnetic pole pitch", "PolePitch"}, Described{"Force constant", "Kf"},
    Described{"Phase resistance", "R"},            Described{"Phase inductance", "L"},
    Described{"Moving part mass", "M"},            Described{"Total mass", "Mt"},
    Described{"Nominal current", "In"},            Described{"Peak current", "ImaxM"},
    Described{"Encoder resolution", "Resolution"}, Described{"Hall configuration", "HALLCASE"},
};
constexpr std::array kDrive{
    Described{"Supply", "Vdc"},           Described{"Nominal current", "InPS"}, Described{"Peak current", "ImaxPS"},
    Described{"Current limit", "IlimPS"}, Described{"PWM frequency", "PWM_freq"},
};
// clang-format on

std::vector<LabelledValue> Describe(const CMC_Setup& setup, std::span<const Described> rows) {
  std::vector<LabelledValue> values;
  for (const Described& row : rows) {
    const CMC_Parameter* parameter = FindOptionalParameter(&setup, row.parameter);
    if (parameter == nullptr) continue;
    values.emplace_back(row.label, ValueWithUnit(*parameter, parameter->GetValueInBaseUnit()));
  }
  return values;
}


}  // namespace

RoadRecord RunRoad(const PluginExports& plugin, CMC_Setup& setup, ui::EventLoop& loop, drivesim::Drive* simulated,
                   const RoadPlan& plan, RoadProgress& progress) {
  RoadRecord record;
  record.skipped = SkippedSteps(setup);
  const SetupValues start = ValuesOf(setup);
  RoadRecorder recorder(setup, record, progress, plan.reportDirectory, loop.Observer());
  RoadUser user(plan.steps, setup, simulated, recorder);
  int confirmed = 0;
  {
    const LoopScope scope(loop, user, recorder);
    confirmed = plugin.editSetup(&setup);
  }
  record.completed = confirmed == 1 && user.Completed();
  record.changes = Changes(setup, start);
  record.motor = Describe(setup, IsLinearMotor(&setup) ? std::span<const Described>(kLinearMotor)
                                                       : std::span<const Described>(kRotaryMotor));
  record.drive = Describe(setup, kDrive);
  return record;
}

}  // namespace kestrel::cli
