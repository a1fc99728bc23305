// kestrel commission: the whole commissioning road as a user runs the command: on every shipped
// motor and setup, the identified values are the motor's and the report shows what was written;
// a fault stops it, and once mended the road goes on from the step that stopped.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>

#include "drivebase/setup_file.h"
#include "run_kestrel.h"

namespace kestrel {
namespace {

using test_support::Outcome;
using test_support::ReadText;
using test_support::ScratchDirectory;

double Value(const CMC_Setup& setup, const std::string& name) {
  return setup.FindParameter(name)->GetValueInInternalUnit();
}

// The new value of the parameter in the report's table of what the whole road changed.
std::optional<std::string> ReportedNewValue(const std::string& page, const std::string& name) {
  const std::size_t table = page.rfind("<table class=\"changes\">");
  const std::string changes = page.substr(table == std::string::npos ? page.size() : table);
  std::smatch row;
  if (!std::regex_search(changes, row, std::regex("<tr><td>" + name + "</td><td>[^<]*</td><td>([^<]*)</td>"))) {
    return std::nullopt;
  }
  return row[1].str();
}

// A shipped pair and what its motor file says the road must find: R, L and the total inertia or
// mass (motor and load, the dual loop's load reflected through its 10:1 gearbox).
struct ShippedPair {
  const char* name;
  double r_Ohm, l_H;
  const char* total;  // "Jt" or "Mt"
  double total_value;
};

class CommissionShippedPair : public ::testing::TestWithParam<ShippedPair> {
 protected:
  ScratchDirectory scratch_{"kestrel-commission"};
};

// The road starts from values a catalogue got wrong (R and L doubled, the total tenfold), so that
// what it writes is what it identified; the report's table of changes shows the values written.
TEST_P(CommissionShippedPair, EveryStepPassesAndTheSetupHoldsTheMotorsValues) {
  const ShippedPair& pair = GetParam();
  const std::string wrong = scratch_.Path("wrong.json").string();
  scratch_.Succeeds(std::string("set --setup ") + KESTREL_SETUPS_DIR + "/" + pair.name + ".json --out " + wrong +
                    " R=" + std::to_string(2 * pair.r_Ohm) + " L=" + std::to_string(2 * pair.l_H) + " " + pair.total +
                    "=" + std::to_string(10 * pair.total_value));
  const std::string out = scratch_.Path("commissioned.json").string();
  const std::string report = scratch_.Path("report").string();
  const Outcome result = scratch_.Succeeds("commission --setup " + wrong + " --motor " + KESTREL_MOTORS_DIR + "/" +
                                           pair.name + ".json --out " + out + " --report " + report);
  EXPECT_NE(result.out.find("Commissioned: written to " + out), std::string::npos) << result.out;

  const CMC_Setup commissioned = drivebase::ReadSetupFile(out);
  EXPECT_NEAR(Value(commissioned, "R"), pair.r_Ohm, 0.03 * pair.r_Ohm);
  EXPECT_NEAR(Value(commissioned, "L"), pair.l_H, 0.03 * pair.l_H);
  EXPECT_NEAR(Value(commissioned, pair.total), pair.total_value, 0.05 * pair.total_value);
  const std::string page = ReadText(report + "/index.html");
  for (const std::string& name : {std::string("R"), std::string("L"), std::string(pair.total), std::string("KPI"), std::string("KPS")}) {
    const std::optional<std::string> shown = ReportedNewValue(page, name);
    ASSERT_TRUE(shown.has_value()) << name << " is not among the report's changes";
    EXPECT_EQ(std::stod(*shown), Value(commissioned, name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, CommissionShippedPair,
                         ::testing::Values(ShippedPair{"default", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"minimal", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"dual_loop", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"sincos", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"resolver", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"ssi", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"biss", 0.9, 0.0012, "Jt", 6.6e-5},
                                           ShippedPair{"linear", 2.5, 0.003, "Mt", 1.2},
                                           ShippedPair{"linear_hall", 2.5, 0.003, "Mt", 1.2}),
                         [](const auto& shipped) { return std::string(shipped.param.name); });

class Commission : public ::testing::Test {
 protected:
  ScratchDirectory scratch_{"kestrel-commission-fault"};
};

// A dead encoder stops the road at its connection test (exit 1, the test's text and what to check
// on standard error); the phases, pole pairs and R and L that passed are written, and once the
// encoder is mended the road goes on from that step to its end.
TEST_F(Commission, StopsAtTheFaultAndGoesOnFromThereOnceMended) {
  const std::string partial = scratch_.Path("partial.json").string();
  const Outcome stopped = scratch_.Run("commission --out " + partial + " --fault encoder_dead");
  EXPECT_EQ(stopped.status, 1);
  EXPECT_NE(stopped.err.find("stopped at Motor encoder connections (encoder): No encoder pulses have been detected."),
            std::string::npos)
      << stopped.err;
  EXPECT_NE(stopped.err.find("What to check next: "), std::string::npos) << stopped.err;
  EXPECT_NE(stopped.out.find("Kept what passed: written to " + partial), std::string::npos) << stopped.out;
  EXPECT_EQ(stopped.out.find("(resolution)"), std::string::npos) << "no step after the one that failed";

  const Outcome resumed = scratch_.Succeeds("commission --setup " + partial + " --from encoder");
  EXPECT_EQ(resumed.out.find("(rl)"), std::string::npos) << "the steps before --from are not run again";
  EXPECT_NE(resumed.out.find("Commissioned: written to " + partial), std::string::npos) << resumed.out;
}

// Steps that a setup cannot run are refused before the drive is touched (exit 2), naming why.
TEST_F(Commission, RefusesStepsTheSetupCannotRun) {
  const Outcome linear =
      scratch_.Run(std::string("commission --setup ") + KESTREL_SETUPS_DIR + "/linear.json --only pole-pairs");
  EXPECT_EQ(linear.status, 2);
  EXPECT_NE(linear.err.find("pole-pairs"), std::string::npos) << linear.err;
  const Outcome unknown = scratch_.Run("commission --from nowhere");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("nowhere"), std::string::npos) << unknown.err;
}

}  // namespace
}  // namespace kestrel
