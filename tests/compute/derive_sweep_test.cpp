// Removing any one register from the default setup leaves exactly the targets that need it as
// they were, and every other target is still derived (so every target is derived at all).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute/derivation.h"
#include "drivebase/error_report.h"
#include "drivebase/value_types.h"
#include "scaled_setup.h"
#include "sweep_scales.h"

namespace kestrel {
namespace {

using namespace test_support;  // the scales

struct Target {
  std::string name;
  std::vector<std::string> needs;  // looked up by its routine, or by the condition of its group
  unsigned scales;
};

// Every target that the default setup derives, with what it reads (cases/derive_sweep.json).
const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = [] {
    std::vector<Target> read;
    const nlohmann::json file = ReadCaseFile("derive_sweep.json");
    for (const nlohmann::json& t : file.at("targets")) {
      read.push_back({t.at("target"), t.at("needs"), ScalesNamed(t.value("scales", std::vector<std::string>{}))});
    }
    return read;
  }();
  return targets;
}

// Targets whose limits may change without their value: their routine sets the limits before a
// lookup that can fail, or the range rule run for the other end of an analogue range sets them.
const std::set<std::string> kLimitsBeforeLookup = {"IlimPS", "StartMode", "POS_max", "SPD_max"};

// Targets that steer later routines keep their value when disturbed; only their limits open.
const std::set<std::string> kSteering = {"MotorSensorType", "LoadSensorType", "MotorSensorConnector",
                                         "LoadSensorConnector", "ControlMode", "CommutationMethod",
                                         "DigitalReferenceConnector", "isAnalogueReference", "StartMode"};

struct Snapshot {
  std::uint64_t value, min, max;
};

Snapshot Take(const CMC_Parameter& p) {
  return {std::bit_cast<std::uint64_t>(p.GetValueInInternalUnit()),
          std::bit_cast<std::uint64_t>(p.GetMinInBaseUnit()), std::bit_cast<std::uint64_t>(p.GetMaxInBaseUnit())};
}

// Every target with open limits and, unless it steers, a value the derivation would not give.
CMC_Setup Disturbed() {
  CMC_Setup setup = test_support::Scaled(LoadDefaultSetup());
  DeriveParametersFromRegisters(&setup);
  for (const Target& target : Targets()) {
    CMC_Parameter* p = setup.FindParameter(target.name);
    p->SetMinInBaseUnit(-std::numeric_limits<double>::infinity());
    p->SetMaxInBaseUnit(std::numeric_limits<double>::infinity());
    if (kSteering.count(target.name) != 0) continue;
    const double internal = p->GetValueInInternalUnit();
    p->SetValueInInternalUnit(p->GetType() == drivebase::kFlag ? 1.0 - internal : internal * 1.375 + 3.0);
  }
  return setup;
}

std::vector<std::string> RemovedRegisters() {
  std::set<std::string> names;
  std::set<std::string> targets;
  for (const Target& target : Targets()) targets.insert(target.name);
  auto addRegisters = [&](const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
      if (targets.count(input) == 0) names.insert(input);
    }
  };
  for (const Target& target : Targets()) addRegisters(target.needs);
  for (const auto& [scale, inputs] : kScaleInputs) addRegisters(inputs);
  return {names.begin(), names.end()};
}

class MissingRegister : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingRegister, LeavesOnlyItsOwnTargetsStale) {
  const std::string& removed = GetParam();
  CMC_Setup setup = Disturbed();
  std::map<std::string, Snapshot> before;
  for (const Target& target : Targets()) before[target.name] = Take(*setup.FindParameter(target.name));
  ASSERT_TRUE(setup.RemoveParameter(removed)) << removed;
  {
    const drivebase::ErrorReportingOff quiet;  // the missing register is reported, as it should be
    DeriveParametersFromRegisters(&setup);
  }
  for (const Target& target : Targets()) {
    const CMC_Parameter& parameter = *setup.FindParameter(target.name);
    if (ScalesRead(target.scales | ScalesOfUnit(parameter), removed)) continue;  // a scale lacks its input
    const Snapshot after = Take(parameter);
    const Snapshot& old = before[target.name];
    const bool needs = std::count(target.needs.begin(), target.needs.end(), removed) != 0;
    if (needs) {
      EXPECT_EQ(after.value, old.value) << target.name << " changed without " << removed;
      if (kLimitsBeforeLookup.count(target.name) == 0) {
        EXPECT_TRUE(after.min == old.min && after.max == old.max) << target.name << " limited without " << removed;
      }
    } else {
      EXPECT_FALSE(after.value == old.value && after.min == old.min && after.max == old.max)
          << target.name << " was not derived without " << removed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Registers, MissingRegister, ::testing::ValuesIn(RemovedRegisters()),
                         [](const auto& test) { return test.param; });

}  // namespace
}  // namespace kestrel
