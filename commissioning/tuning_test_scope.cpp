// The default settings of the drive's scope for a tuning run: the logged channels, their scales
// from the profile and the current limit, and a trigger at the profile's first ramp.
#include <algorithm>
#include <cmath>

#include "commissioning/tuning_test.h"
#include "compute/tuning_profile.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::Value;

constexpr double kMinimumWindow_s = 0.01;
constexpr double kWindowMargin = 1.1;  // 10 % after the profile

// Display units per division for a channel that should show x in about five divisions: the step
// of the series 1, 2, 5 × 10^k at or above x; 0.2 for a channel with nothing to show (x = 0).
double ScalePerDivision(double x) { return x > 0.0 ? drivebase::RoundStepAtLeast(x) : 0.2; }

struct ShownValue {
  double value = 0.0;
  std::string unit;
};

ShownValue Shown(const CMC_Setup* setup, const char* name) {
  const CMC_Parameter* parameter = setup->FindParameter(name);
  if (parameter == nullptr) return {};
  return {parameter->GetValueInDisplayUnit(), parameter->GetUnitName()};
}

// The four times of the profile: one whole cycle.
double ProfileDuration_s(const CMC_Setup* setup, const TuningLoop& loop) {
  double profile_s = 0.0;
  for (const char* time : loop.times) profile_s += Value(setup, time);
  return profile_s;
}

}  // namespace

double CTuningTest::ScopeWindow_s() const {
  return std::max(kMinimumWindow_s, kWindowMargin * ProfileDuration_s(GetSetup(), loop_));
}

double CTuningTest::UnattendedRun_s() const {
  if (!OnlineMode() && Value(GetSetup(), loop_.multiCycle) == 0.0) return 0.0;
  return 2.0 * ProfileDuration_s(GetSetup(), loop_);
}

void CTuningTest::SetScopeDefaults() {
  const std::vector<const char*> variables = LoggedVariables();
  if (scope_->GetVariablesNo() == 0) {
    for (const char* variable : variables) scope_->AddVariable(variable, 1);
  }
  scope_->LocateItems();
  CGraphDocument& document = scope_->GetGraphDocument();
  CGraphFilter& filter = document.GetFilterCount() > 0 ? *document.GetFilter(0) : document.AddFilter();
  if (filter.Curves().empty()) {
    const int colours[] = {2, 5, 8, 9};
    for (int column = 1; column <= 4; ++column) filter.Add(CXYCurve(1, 0, column, 2, RGB16(colours[column - 1])));
  }
  RescaleScopeChannels();
}

// Channel scales and trigger from the profile and limits; kept as they are once the user has
// changed the scope's settings.
void CTuningTest::RescaleScopeChannels() {
  if (scope_ == nullptr || scopeSettingsChanged_) return;
  const CMC_Setup* setup = GetSetup();
  const std::vector<const char*> variables = LoggedVariables();
  const ShownValue distance = Shown(setup, loop_.distance);
  const ShownValue current = Shown(setup, "TestLimitCurrent");
  for (std::size_t k = 0; k < variables.size(); ++k) {
    const bool profileChannel = k < 2;
    const double x = profileChannel ? std::fabs(distance.value * 0.25) : current.value / 3.0;
    const double scale = ScalePerDivision(x);
    const double offset = profileChannel && distance.value < 0.0 ? -4.0 * scale : 0.0;
    scope_->RescaleVariable(variables[k], profileChannel ? distance.unit : current.unit, scale, offset);
  }
  const double window_s = ScopeWindow_s();
  const int mode = Value(setup, loop_.multiCycle) != 0.0 ? drivebase::kScopeNormal : drivebase::kScopeSingle;
  const auto pretrigger = static_cast<std::uint16_t>(std::trunc(100.0 * Value(setup, loop_.times[0]) / window_s));
  if (!Has(setup, loop_.distance)) {
    scope_->ChangeSettings(window_s, drivebase::kScopeFreeRunning, drivebase::kScopeRising, "", 0.0, 0);
  } else {
    const double v = distance.value;
    double level = 0.9 * v;
    bool rising = v >= 0.0;
    switch (kestrel::ReferenceShapeOf(Code(setup, loop_.referenceType))) {
      case kestrel::ReferenceShape::positive: level = 0.95 * v; break;
      case kestrel::ReferenceShape::negative:
        level = -0.95 * v;
        rising = v < 0.0;
        break;
      case kestrel::ReferenceShape::bidirectional: break;
    }
    scope_->ChangeSettings(window_s, mode, rising ? drivebase::kScopeRising : drivebase::kScopeFalling,
                           loop_.liveVariables[0], level, std::min<std::uint16_t>(pretrigger, 100));
  }
  scope_->LocateItems();
}
