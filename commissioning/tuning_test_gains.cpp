// The tuning tests' gains: the registers each edit recomputes, the writes to the drive while a
// run goes on, "Tune", the load ratios, the reactions to the user's values, and the Filters dialog.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string_view>

#include "commissioning/tuning_test.h"
#include "compute/biquad_designer.h"
#include "compute/derivation.h"
#include "compute/registers.h"
#include "dialogs/filters_dialog.h"
#include "dialogs/setup_values.h"
#include "drivebase/numeric.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Has;
using kestrel::dialogs::SameName;
using kestrel::dialogs::Value;

using RegisterComputation = std::function<void(CMC_Setup*)>;

RegisterComputation Shift(const kestrel::GainPair& pair) {
  return [pair](CMC_Setup* setup) { kestrel::ComputeShiftRegister(setup, pair); };
}
RegisterComputation Mantissa(const kestrel::GainPair& pair) {
  return [pair](CMC_Setup* setup) { kestrel::ComputeMantissaRegister(setup, pair); };
}

// How each register that a live gain sends is computed from the scaled gains.
const std::map<std::string_view, RegisterComputation>& RegisterComputations() {
  static const std::map<std::string_view, RegisterComputation> computations{
      {"SFTKPS", Shift(kestrel::kSpeedProportional)},     {"KPS", Mantissa(kestrel::kSpeedProportional)},
      {"SFTKIS", Shift(kestrel::kSpeedIntegral)},         {"KIS", Mantissa(kestrel::kSpeedIntegral)},
      {"SFTKPP", Shift(kestrel::kPositionProportional)},  {"KPP", Mantissa(kestrel::kPositionProportional)},
      {"SFTKIP", Shift(kestrel::kPositionIntegral)},      {"KIP", Mantissa(kestrel::kPositionIntegral)},
      {"SFTKDP", Shift(kestrel::kPositionDerivative)},    {"KDP", Mantissa(kestrel::kPositionDerivative)},
      {"SFTSFFW", Shift(kestrel::kSpeedFeedForward)},     {"KFFS", Mantissa(kestrel::kSpeedFeedForward)},
      {"SFTAFFW", [](CMC_Setup* s) { kestrel::ComputeAccFeedForwardShift(s); }},
      {"SFTKFF", [](CMC_Setup* s) { kestrel::ComputeAccFeedForwardExtraShift(s); }},
      {"KFFA", [](CMC_Setup* s) { kestrel::ComputeAccFeedForwardMantissa(s); }},
      {"IMAXS", [](CMC_Setup* s) { kestrel::ComputeIMAXS(s); }},
      {"IMAXP", [](CMC_Setup* s) { kestrel::ComputeIMAXP(s); }},
      {"KDFP", [](CMC_Setup* s) { kestrel::ComputeKDFP(s); }},
  };
  return computations;
}

const LiveGainChain* FindChain(const TuningLoop& loop, const std::string& name) {
  const auto chain =
      std::ranges::find_if(loop.liveChains, [&](const LiveGainChain& c) { return SameName(c.parameter, name); });
  return chain != loop.liveChains.end() ? &*chain : nullptr;
}

bool MotorInertiaKnown(const CMC_Setup* setup) { return Value(setup, "isMotorInertiaUnknown") == 0.0; }

// The parameters whose change moves the scope's channels to the new profile and limits.
bool ChangesScopeScales(const TuningLoop& loop, const std::string& name) {
  for (const char* parameter : {loop.distance, "TestLimitCurrent", loop.multiCycle, loop.times[0], loop.times[1],
                                loop.times[2], loop.times[3]}) {
    if (SameName(parameter, name)) return true;
  }
  return false;
}

}  // namespace

void CTuningTest::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (SameName(name, loop_.multiCycle) && Value(setup, name) == 0.0 && scope_ == nullptr) {
    // Without the drive's scope the live plot needs the run to go on until stopped.
    setup->SetParameterValueInBaseUnit(loop_.onlinePlot, 0.0);
    RefreshAllParameters();
  }
  // The acceleration feed-forward needs the motor's inertia.
  const LiveGainChain* chain = FindChain(loop_, name);
  if (chain != nullptr && (!SameName(name, "KFFA_scl") || MotorInertiaKnown(setup))) {
    for (const char* reg : chain->registers) RegisterComputations().at(reg)(setup);
  }
  if (MotorInertiaKnown(setup)) RecomputeLoadRatio(name);
  if (SameName(name, loop_.distance)) SnapTestSpeed();
  if (SameName(name, loop_.onlinePlot) || SameName(name, loop_.multiCycle)) ShowSelectedTab();
  if (scope_ != nullptr && ChangesScopeScales(loop_, name)) RescaleScopeChannels();
  CMyTestDlg::OnChangedParameterValue(name);
}

// The total and the ratio of load to motor follow each other; the totals stay as typed, the
// ratios are rounded to 3 decimals.
void CTuningTest::RecomputeLoadRatio(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  struct Pair {
    const char *total, *ratio, *own;
  };
  for (const Pair& pair : {Pair{"Jt", "Jload_over_J", "Jm"}, Pair{"Mt", "Mload_over_M", "M"}}) {
    const double own = Value(setup, pair.own);
    if (own == 0.0) continue;
    if (SameName(name, pair.total)) {
      setup->SetParameterValueInBaseUnit(pair.ratio, RoundDecimalValue((Value(setup, pair.total) - own) / own, 3));
      RefreshParameterControls(pair.ratio);
    } else if (SameName(name, pair.ratio)) {
      setup->SetParameterValueInBaseUnit(pair.total, (Value(setup, pair.ratio) + 1.0) * own);
      RefreshParameterControls(pair.total);
    }
  }
}

void CTuningTest::OnRefreshParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  if (SameName(name, "Jt") && Value(setup, "Jm") > Value(setup, "Jt") && MotorInertiaKnown(setup)) {
    MessageBox("You have chosen a value for the total inertia that is lower than the value of the motor inertia.\n"
               "The application will assume the motor inertia is unknown.");
    setup->SetParameterValueInBaseUnit("isMotorInertiaUnknown", 1.0);
  } else if (SameName(name, "Mt") && Value(setup, "M") > Value(setup, "Mt") && MotorInertiaKnown(setup)) {
    MessageBox("You have chosen a value for the total mass that is lower than the value of the motor mass.\n"
               "The application will assume the motor mass is unknown.");
    setup->SetParameterValueInBaseUnit("isMotorInertiaUnknown", 1.0);
  } else if (SameName(name, "TestStartCurrent") && Value(setup, name) > 100.0) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "You have set a start current bigger than the nominal current! The start current will be applied "
                  "for %.2f s.\n\nThe motor must withstand this over current condition or it may be damaged.",
                  2.0 * Value(setup, "time_AB"));
    MessageBox(text);
    SetFocus();
  } else if (SameName(name, loop_.referenceType)) {
    ShowProfilePicture();
    if (scope_ != nullptr) RescaleScopeChannels();
  }
  if (IsRunning()) {
    if (const LiveGainChain* chain = FindChain(loop_, name)) WriteRegistersToDrive(chain->registers);
  }
  CMyTestDlg::OnRefreshParameterValue(name);
}

// Each register after the one before it reached the drive; the first failure stops the chain.
bool CTuningTest::WriteRegistersToDrive(const std::vector<const char*>& registers) {
  for (const char* name : registers) {
    const CMC_Parameter* parameter = GetSetup()->FindParameter(name);
    if (parameter == nullptr || !parameter->WriteToChip()) return false;
  }
  return true;
}

void CTuningTest::OnTune() {
  CMC_Setup* setup = GetSetup();
  if (!AskMotorInertiaQuestion()) return;
  loop_.tune(setup);
  std::vector<const char*> registers;
  for (const kestrel::GainPair& pair : loop_.tunedGains) {
    kestrel::ComputeMantissaRegister(setup, pair);
    kestrel::ComputeShiftRegister(setup, pair);
    kestrel::DeriveScaledGain(setup, pair.gain, pair.mantissa, pair.shift);
    registers.insert(registers.end(), {pair.shift, pair.mantissa});
  }
  if (IsRunning()) WriteRegistersToDrive(registers);
  RefreshAllParameters();
}

// Offline the filters reach the drive with the next launch's registers; while a run goes on
// they are written at once after OK.
void CTuningTest::OnFilters() {
  CMC_Setup* setup = GetSetup();
  if (!Has(setup, "IQREF_BQ_INI")) return;
  ComputeAllRegisters(setup);
  DeriveParametersFromRegisters(setup);
  CFiltersDialog filters(setup, IsRunning(), this);
  if (filters.DoModal() == IDOK) {
    ComputeAllRegisters(setup);
    DeriveParametersFromRegisters(setup);
    if (IsRunning()) CBiquadDesigner().WriteFiltersToDrive(setup);
  }
  RefreshAllParameters();
  ShowSelectedTab();
}
