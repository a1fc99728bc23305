// kestrel tune: a controller tuned from the motor data and the requested bandwidth, its new
// gains converted into their register pairs and read back as the drive will hold them.
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "compute/derivation.h"
#include "compute/gain_pairs.h"
#include "compute/scale_functions.h"
#include "compute/tuning.h"
#include "drivebase/setup_file.h"
#include "number_text.h"

namespace kestrel::cli {
namespace {

struct TuneOptions {
  std::string loop;
  SetupSource source;
  std::string out;
};

struct LoopTuning {
  bool (*tune)(CMC_Setup*);
  std::vector<GainPair> pairs;
};

LoopTuning TuningOf(const std::string& loop) {
  if (loop == "current") return {&TuneCurrentController, {kCurrentProportional, kCurrentIntegral}};
  if (loop == "speed") return {&TuneSpeedController, {kSpeedProportional, kSpeedIntegral}};
  return {&TunePositionController, {kPositionProportional, kPositionIntegral, kPositionDerivative}};
}

struct GainState {
  double gain;
  double mantissa;
  double shift;
};

GainState Read(const CMC_Setup& setup, const GainPair& pair) {
  return {setup.GetParameterValueInBaseUnit(pair.gain), setup.GetParameterValueInBaseUnit(pair.mantissa),
          setup.GetParameterValueInBaseUnit(pair.shift)};
}

std::string PairText(const GainState& state) {
  return NumberText(state.mantissa) + " << " + NumberText(state.shift);
}

// The current loop is tuned, as in its test, with the voltage scale in its sinusoidal form.
class SinusoidalVoltageScale {
 public:
  explicit SinusoidalVoltageScale(bool on) : saved_(g_bKufSinusoidalMode) {
    if (on) g_bKufSinusoidalMode = 1;
  }
  ~SinusoidalVoltageScale() { g_bKufSinusoidalMode = saved_; }
  SinusoidalVoltageScale(const SinusoidalVoltageScale&) = delete;
  SinusoidalVoltageScale& operator=(const SinusoidalVoltageScale&) = delete;

 private:
  int saved_;
};

int RunTune(Host& host, const TuneOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  const LoopTuning loop = TuningOf(options.loop);
  std::vector<GainState> before;
  for (const GainPair& pair : loop.pairs) before.push_back(Read(setup, pair));
  {
    const SinusoidalVoltageScale voltage(options.loop == "current");
    if (!loop.tune(&setup)) throw Failure("the " + options.loop + " loop cannot be tuned: a parameter is missing");
  }
  for (const GainPair& pair : loop.pairs) {
    ComputeShiftRegister(&setup, pair);
    ComputeMantissaRegister(&setup, pair);
    DeriveScaledGain(&setup, pair.gain, pair.mantissa, pair.shift);
  }
  std::printf("%-9s %-22s %-22s %-16s %s\n", "GAIN", "OLD", "NEW", "OLD PAIR", "NEW PAIR");
  for (std::size_t i = 0; i < loop.pairs.size(); ++i) {
    const GainState after = Read(setup, loop.pairs[i]);
    std::printf("%-9s %-22s %-22s %-16s %s\n", loop.pairs[i].gain, NumberText(before[i].gain).c_str(),
                NumberText(after.gain).c_str(), PairText(before[i]).c_str(), PairText(after).c_str());
  }
  const std::string target = options.out.empty() ? options.source.path : options.out;
  if (!target.empty()) drivebase::SaveSetupFile(setup, target);
  return 0;
}

}  // namespace

void AddTuneCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<TuneOptions>();
  CLI::App* tune = app.add_subcommand(
      "tune", "Tune the current, speed or position controller from the motor data and the requested "
              "bandwidth, convert the gains into their register pairs and show old and new");
  tune->add_option("loop", options->loop, "current, speed or position")
      ->required()
      ->check(CLI::IsMember({"current", "speed", "position"}));
  tune->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  tune->add_option("--out", options->out, "File to write (default: the --setup file; none for the default setup)");
  tune->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunTune(host, *options); });
  });
}

}  // namespace kestrel::cli
