// kestrel filters: the enabled biquad filters as the drive will run them, with the frequency
// response of their quantised coefficients up to the Nyquist frequency of the speed loop.
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

#include "cli_error.h"
#include "commands.h"
#include "compute/biquad_designer.h"
#include "compute/setup_access.h"
#include "number_text.h"
#include "dialogs/message_box_reporter.h"

namespace kestrel::cli {
namespace {

constexpr int kPointsPerDecade = 10;
constexpr int kDecades = 3;

struct FiltersOptions {
  SetupSource source;
  bool csv = false;
};

struct PlacedFilter {
  int filter;
  int slot;
  int place;
};

// The slots as the drive's packing gives them: by place, then by filter number.
std::vector<PlacedFilter> PlacedFilters(const CMC_Setup& setup) {
  std::vector<PlacedFilter> placed;
  int slot = 1;
  for (int place = 0; place < 3; ++place) {
    for (int filter = 1; filter <= kUserFilterCount; ++filter) {
      const CMC_Parameter* on = FindOptionalParameter(&setup, "BQFilter" + std::to_string(filter));
      const CMC_Parameter* location = FindOptionalParameter(&setup, "BQFilterLocation" + std::to_string(filter));
      if (on == nullptr || location == nullptr || on->GetValueInBaseUnit() == 0.0 ||
          TruncateToInt32(location->GetValueInBaseUnit()) != place) {
        continue;
      }
      placed.push_back({filter, slot++, place});
    }
  }
  return placed;
}

struct SlotCoefficients {
  double b0, b1, b2, a1, a2, sf;

  // H(e^jw) of the quantised coefficients, c * SF / 2^31 each.
  std::complex<double> Response(double normalisedFrequency) const {
    const double unit = sf / 2147483648.0;
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * normalisedFrequency);
    const std::complex<double> z2 = z1 * z1;
    return (unit * (b0 + b1 * z1 + b2 * z2)) / (1.0 + unit * (a1 * z1 + a2 * z2));
  }
};

SlotCoefficients ReadSlot(const CMC_Setup& setup, int slot) {
  const auto value = [&](const char* field) {
    return setup.GetParameterValueInBaseUnit("BQ" + std::to_string(slot) + field);
  };
  return {value("B0"), value("B1"), value("B2"), value("A1"), value("A2"), value("SF")};
}

std::vector<double> ResponseFrequencies(double nyquist) {
  std::vector<double> frequencies;
  for (int i = -kDecades * kPointsPerDecade; i <= 0; ++i) {
    frequencies.push_back(nyquist * std::pow(10.0, static_cast<double>(i) / kPointsPerDecade));
  }
  return frequencies;
}

void PrintFilter(const CMC_Setup& setup, const PlacedFilter& placed, const SlotCoefficients& c) {
  const std::string n = std::to_string(placed.filter);
  const int type = TruncateToInt32(setup.GetParameterValueInBaseUnit("BQFilterType" + n));
  const bool leadLag = type == 8 || type == 9;
  const char* typeName = type >= 0 && type < kFilterTypeCount ? CBiquadDesigner::kTypes[static_cast<std::size_t>(type)].name : "unknown type";
  std::printf("Filter %d in slot %d: %s, %s, %s %s Hz", placed.filter, placed.slot,
              kFilterPlaces[static_cast<std::size_t>(placed.place)], typeName, leadLag ? "lead" : "f1",
              NumberText(setup.GetParameterValueInBaseUnit("BQFilterF1" + n)).c_str());
  if (leadLag) {
    std::printf(", lag %s Hz\n", NumberText(setup.GetParameterValueInBaseUnit("BQFilterF2" + n)).c_str());
  } else {
    std::printf(", Q %s\n", NumberText(setup.GetParameterValueInBaseUnit("BQFilterQ" + n)).c_str());
  }
  std::printf("  B0 %.0f  B1 %.0f  B2 %.0f  A1 %.0f  A2 %.0f  SF %.0f\n", c.b0, c.b1, c.b2, c.a1, c.a2, c.sf);
}

int RunFilters(Host& host, const FiltersOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  CBiquadDesigner designer;
  if (designer.WriteAllFilters(&setup, MessageBoxReporter()) == 0) return kExitFailure;  // the box said why
  const double ts = setup.GetParameterValueInBaseUnit("Ts_S");
  const double nyquist = 0.5 / ts;
  if (options.csv) std::printf("filter,slot,frequency_Hz,gain_dB,phase_deg\n");
  for (const PlacedFilter& placed : PlacedFilters(setup)) {
    const SlotCoefficients coefficients = ReadSlot(setup, placed.slot);
    if (!options.csv) {
      PrintFilter(setup, placed, coefficients);
      std::printf("  %12s %10s %10s\n", "Hz", "dB", "deg");
    }
    for (const double f : ResponseFrequencies(nyquist)) {
      const std::complex<double> h = coefficients.Response(f * ts);
      const double db = 20.0 * std::log10(std::abs(h));
      const double degrees = std::arg(h) * 180.0 / std::numbers::pi;
      if (options.csv) {
        std::printf("%d,%d,%.6g,%.6g,%.6g\n", placed.filter, placed.slot, f, db, degrees);
      } else {
        std::printf("  %12.6g %10.4f %10.3f\n", f, db, degrees);
      }
    }
  }
  return 0;
}

}  // namespace

void AddFiltersCommand(CLI::App& app, Host& host, int& status) {
  auto options = std::make_shared<FiltersOptions>();
  CLI::App* filters = app.add_subcommand(
      "filters", "Show the enabled biquad filters: slot, place, type, frequencies, the quantised "
                 "coefficients, and their frequency response up to the speed loop's Nyquist frequency");
  filters->add_option("--setup", options->source.path, "Setup file (default: the embedded default setup)");
  filters->add_flag("--csv", options->csv, "Print only the responses, as CSV for plotting");
  filters->callback([options, &host, &status] {
    status = RunReportingErrors([&] { return RunFilters(host, *options); });
  });
}

}  // namespace kestrel::cli
