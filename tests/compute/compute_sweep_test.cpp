// Removing any one register or source parameter from the default setup leaves exactly the
// registers that need it as they were, and every other register is still computed.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute/registers.h"
#include "drivebase/error_report.h"
#include "scaled_setup.h"
#include "sweep_scales.h"

namespace kestrel {
namespace {

using Names = std::vector<std::string>;
using namespace test_support;  // the scales

struct Register {
  std::string name;
  Names needs;     // a missing one leaves the register as it was
  Names optional;  // a missing one changes what the register holds
  unsigned scales = kNone;
  std::int64_t owned = 0;  // bit-field registers: bits that are always recomputed
};

// Every register that the default setup gets, with what its routine reads there
// (cases/compute_sweep.json), each also converting through the scales of the drive-scaled
// parameters it reads.
const std::vector<Register>& Table() {
  static const std::vector<Register> table = [] {
    const CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
    std::vector<Register> registers;
    const nlohmann::json file = ReadCaseFile("compute_sweep.json");
    for (const nlohmann::json& r : file.at("registers")) {
      Register& added = registers.emplace_back(Register{r.at("register"), r.at("needs"), r.value("optional", Names{}),
                                                        ScalesNamed(r.value("scales", Names{})),
                                                        std::stoll(r.value("owned", std::string("0")), nullptr, 16)});
      for (const std::string& need : added.needs) {
        if (const CMC_Parameter* p = setup.FindParameter(need)) added.scales |= ScalesOfUnit(*p);
      }
    }
    return registers;
  }();
  return table;
}

bool Contains(const Names& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

const Register* Find(const std::string& name) {
  const auto found = std::find_if(Table().begin(), Table().end(), [&](const Register& r) { return r.name == name; });
  return found != Table().end() ? &*found : nullptr;
}

// Whether the register computes from the removed parameter through a scale or through another
// register that the removed parameter leaves stale: it is then computed, from a stale input.
// Registers that read each other (the two software limits) end the search at its depth.
bool ReadsStale(const Register& reg, const std::string& removed, int depth = 0) {
  if (depth > 4) return false;
  if (!Contains(reg.needs, removed) && ScalesRead(reg.scales, removed)) return true;
  Names inputs = reg.needs;
  for (const auto& [scale, more] : kScaleInputs) {
    if ((reg.scales & scale) != 0) inputs.insert(inputs.end(), more.begin(), more.end());
  }
  for (const std::string& input : inputs) {
    const Register* source = Find(input);
    if (source != nullptr && (Contains(source->needs, removed) || ReadsStale(*source, removed, depth + 1))) {
      return true;
    }
  }
  return false;
}

std::uint64_t Bits(const CMC_Setup& setup, const std::string& name) {
  return std::bit_cast<std::uint64_t>(setup.GetParameterValueInInternalUnit(name));
}

// The default setup with every register holding a value that the computation would not give:
// the always-owned bits of a bit field flipped, other registers moved.
CMC_Setup Disturbed() {
  CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
  for (const Register& r : Table()) {
    CMC_Parameter* p = setup.FindParameter(r.name);
    const double old = p->GetValueInInternalUnit();
    if (r.owned != 0) {
      p->SetValueInInternalUnit(static_cast<double>(static_cast<std::int64_t>(old) ^ r.owned));
      continue;
    }
    for (const double candidate : {old * 1.375 + 3.0, old * 0.5 - 3.0, old - 1.0}) {
      p->SetValueInInternalUnit(candidate);
      if (p->GetValueInInternalUnit() != old) break;
    }
  }
  return setup;
}

std::map<std::string, std::uint64_t> Snapshot(const CMC_Setup& setup) {
  std::map<std::string, std::uint64_t> values;
  for (const Register& r : Table()) values[r.name] = Bits(setup, r.name);
  return values;
}

CMC_Setup Computed(CMC_Setup setup) {
  const drivebase::ErrorReportingOff quiet;  // a missing parameter is reported, as it should be
  ComputeAllRegisters(&setup);
  return setup;
}

Names RemovedNames() {
  std::set<std::string> names;
  for (const Register& r : Table()) {
    names.insert(r.name);
    names.insert(r.needs.begin(), r.needs.end());
    names.insert(r.optional.begin(), r.optional.end());
  }
  for (const auto& [scale, inputs] : kScaleInputs) names.insert(inputs.begin(), inputs.end());
  return {names.begin(), names.end()};
}

TEST(ComputeSweep, EveryRegisterIsComputedFromTheFullSetup) {
  ASSERT_EQ(Table().size(), 125u) << "registers read from cases/compute_sweep.json";
  const CMC_Setup disturbed = Disturbed();
  const auto before = Snapshot(disturbed);
  const CMC_Setup computed = Computed(disturbed);
  for (const Register& r : Table()) {
    EXPECT_NE(Bits(computed, r.name), before.at(r.name)) << r.name << " was not computed";
    EXPECT_EQ(Bits(computed, r.name), Bits(test_support::Scaled(LoadDefaultSetup()), r.name))
        << r.name << " differs from the default setup";
  }
}

class MissingSource : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingSource, LeavesOnlyTheRegistersThatNeedIt) {
  const std::string& removed = GetParam();
  const CMC_Setup disturbed = Disturbed();
  const auto before = Snapshot(disturbed);
  const auto reference = Snapshot(Computed(disturbed));
  CMC_Setup partial = disturbed;
  ASSERT_TRUE(partial.RemoveParameter(removed)) << removed;
  const CMC_Setup computed = Computed(partial);
  for (const Register& r : Table()) {
    if (r.name == removed || Contains(r.optional, removed) || ReadsStale(r, removed)) continue;
    if (Contains(r.needs, removed)) {
      EXPECT_EQ(Bits(computed, r.name), before.at(r.name)) << r.name << " computed without " << removed;
    } else {
      EXPECT_EQ(Bits(computed, r.name), reference.at(r.name)) << r.name << " not computed without " << removed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DefaultSetup, MissingSource, ::testing::ValuesIn(RemovedNames()),
                         [](const auto& test) { return test.param; });

}  // namespace
}  // namespace kestrel
