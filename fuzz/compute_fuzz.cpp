// Fuzzes the computation engine with mutated setups: the input picks a shipped setup, then a
// series of edits (values set to 0, negative, huge, not a number, infinite or small codes;
// parameters removed; options rewritten), and the setup goes through ComputeAllRegisters,
// ComputeAllOptions and GetScaleFactor for every parameter. Nothing may crash, hang or trip the
// address and undefined-behaviour sanitizers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "compute/registers.h"
#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"
#include "plugin/exports.h"

namespace {

std::vector<CMC_Setup>& Setups() {
  static std::vector<CMC_Setup> setups;
  return setups;
}

double MutatedValue(FuzzedDataProvider& input, double old) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  switch (input.ConsumeIntegralInRange(0, 8)) {
    case 0: return 0.0;
    case 1: return -old;
    case 2: return old * 1e12;
    case 3: return input.ConsumeBool() ? 1e300 : -1e300;
    case 4: return std::numeric_limits<double>::quiet_NaN();
    case 5: return input.ConsumeBool() ? kInf : -kInf;
    case 6: return input.ConsumeIntegralInRange(-2, 12);  // codes, flags and indices
    case 7: return old + input.ConsumeIntegralInRange(-3, 3);
    default: return input.ConsumeFloatingPoint<double>();
  }
}

void Mutate(FuzzedDataProvider& input, CMC_Setup& setup) {
  const int edits = input.ConsumeIntegralInRange(1, 24);
  for (int i = 0; i < edits && input.remaining_bytes() > 0; ++i) {
    const auto& parameters = setup.Parameters();
    const auto& options = setup.Options();
    switch (input.ConsumeIntegralInRange(0, 5)) {
      case 0:
      case 1:
      case 2: {
        CMC_Parameter& p = *parameters[input.ConsumeIntegralInRange<std::size_t>(0, parameters.size() - 1)];
        p.SetValueInInternalUnit(MutatedValue(input, p.GetValueInInternalUnit()));
        break;
      }
      case 3:
        if (parameters.size() > 1) {
          const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(0, parameters.size() - 1);
          setup.RemoveParameter(std::string(parameters[index]->GetName()));
        }
        break;
      case 4:
        if (!options.empty()) {
          const std::string name = options[input.ConsumeIntegralInRange<std::size_t>(0, options.size() - 1)]->name;
          setup.SetOption(name, input.ConsumeRandomLengthString(12));
        }
        break;
      default: {
        CMC_Parameter& p = *parameters[input.ConsumeIntegralInRange<std::size_t>(0, parameters.size() - 1)];
        p.SetMinInBaseUnit(MutatedValue(input, p.GetMinInBaseUnit()));
        break;
      }
    }
  }
}

// Too many filters for the drive's slots is one of the outcomes; its report is dropped.
class IgnoredReports : public kestrel::ComputeReporter {
 public:
  void ReportError(const std::string&) const override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Missing parameters are reported by the lookups; here they are the normal case.
  drivebase::SetErrorSink([](const std::string&) {});
  for (const auto& entry : std::filesystem::directory_iterator(KESTREL_SETUPS_DIR)) {
    if (entry.path().extension() != ".json") continue;
    CMC_Setup setup = drivebase::ReadSetupFile(entry.path().string());
    setup.SetScaleFunctions({&GetScaleFactor, &GetScaleOffset});
    Setups().push_back(std::move(setup));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  CMC_Setup setup = Setups()[input.ConsumeIntegralInRange<std::size_t>(0, Setups().size() - 1)];
  Mutate(input, setup);
  ComputeAllRegisters(&setup, IgnoredReports());
  ComputeAllOptions(&setup);
  for (const auto& p : setup.Parameters()) {
    const std::string unit(p->GetBaseUnitName());
    GetScaleFactor(&setup, unit.c_str(), p->GetName().c_str());
    GetScaleOffset(&setup, unit.c_str(), p->GetName().c_str());
  }
  return 0;
}
