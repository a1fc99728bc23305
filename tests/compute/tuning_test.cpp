#include "compute/tuning.h"

#include <cmath>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "compute/scale_functions.h"
#include "scaled_setup.h"

namespace kestrel {
namespace {

using test_support::ScaledDefaultSetup;

// The default motor on the default drive: R 0.9 Ohm, L 1.2 mH (tau = 1.333 ms), Jt 66e-7 kgm^2,
// K 0.12 Nm/A; Tc 100 us, Ts 1 ms, Kv = 65534 / (1.1 * 48) = 1241.17 (sinusoidal),
// Iscale = 3273.6 counts/A, 1273.24 counts/rad, so G = 0.9 * 1241.17 / 3273.6 = 0.341232.
class Tuning : public ScaledDefaultSetup {
 protected:
  void SetUp() override {
    Set("PB_C", 6000.0);  // the bandwidth the current cases below are worked out for
    // The tuning writes the formulas' values; the parameters' limits are not its business.
    for (const char* gain : {"Kp_C_scl", "Ki_C_scl", "Kp_S_scl", "Ki_S_scl", "Kp_P_scl", "Ki_P_scl", "Kd_P_scl"}) {
      Set(gain, 0.0);
    }
  }
};

using Tune = bool (*)(CMC_Setup*);
using Values = std::vector<std::pair<const char*, double>>;
constexpr double kRemoved = std::numeric_limits<double>::quiet_NaN();

struct TuneCase {
  const char* what;
  const char* file;  // null: the default setup
  Values inputs;     // kRemoved takes the parameter out
  Tune tune;
  Values gains;
};

void PrintTo(const TuneCase& c, std::ostream* out) { *out << c.what; }

class TunedGains : public Tuning, public ::testing::WithParamInterface<TuneCase> {};

TEST_P(TunedGains, FromTheMotorAndTheBandwidths) {
  const TuneCase& c = GetParam();
  if (c.file != nullptr) setup = test_support::ScaledSetupFile(c.file);
  for (const auto& [name, value] : c.inputs) {
    if (std::isnan(value)) {
      setup.RemoveParameter(name);
    } else {
      Set(name, value);
    }
  }
  ASSERT_TRUE(c.tune(&setup));
  for (const auto& [name, gain] : c.gains) EXPECT_DOUBLE_EQ(Value(name), gain) << name;
}

// X = Jt / K = 66e-6 / 0.12 = 550e-6; S = 1.27324 (speed scale), P = 1273.24 (position scale).
INSTANTIATE_TEST_SUITE_P(
    Loops, TunedGains,
    ::testing::Values(
        // tau = 222 us, below 4 Tc: Kp = (tau / (2 sqrt2 Tc) - 1) G, Ki = 6000 Tc G
        TuneCase{"short tau", nullptr, {{"L", 2e-4}}, TuneCurrentController,
                 {{"Kp_C_scl", -0.07313480410849232}, {"Ki_C_scl", 0.20473915289256198}}},
        // tau = 4 Tc takes the short form, not 1.4408 of the long form; G = 1241.17 / 3273.6
        TuneCase{"tau of four periods", nullptr, {{"R", 1.0}, {"L", 4e-4}}, TuneCurrentController,
                 {{"Kp_C_scl", 0.15704765532755163}, {"Ki_C_scl", 0.2274879476584022}}},
        // a third of R in G, tau unchanged
        TuneCase{"delta motor", nullptr, {{"MotorPhaseConnectionType", 1}}, TuneCurrentController,
                 {{"Kp_C_scl", 1.7061596074380163}, {"Ki_C_scl", 0.5459710743801652}}},
        TuneCase{"trapezoidal, Kv = 32767 / 48", nullptr, {{"CommutationMethod", 0}}, TuneCurrentController,
                 {{"Kp_C_scl", 2.8151633522727275}}},
        // Ki = 500^2 * 1 ms * X * 3273.6 / S, Kp = 2 * 500 * X * 3273.6 / S
        TuneCase{"speed loop", nullptr, {{"PB_S", 500}}, TuneSpeedController,
                 {{"Ki_S_scl", 353.52342130845943}, {"Kp_S_scl", 1414.0936852338377}}},
        // the loop runs at Tc: a tenth of the integral gain
        TuneCase{"speed loop at Tc", nullptr, {{"PB_S", 500}, {"PosSpd_in_FastLoop", 1}}, TuneSpeedController,
                 {{"Ki_S_scl", 35.35234213084594}}},
        TuneCase{"speed loop, no fast-loop flag", nullptr,
                 {{"PB_S", 500}, {"PosSpd_in_FastLoop", 1}, {"PosSpd_in_FastLoop", kRemoved}}, TuneSpeedController,
                 {{"Ki_S_scl", 353.52342130845943}}},
        // X = 32 mm * 1.2 kg / 30 N/A = 1.28e-3; S = 1 / 1 um * 1 ms = 1000
        TuneCase{"linear motor", "linear", {}, TuneSpeedController,
                 {{"Ki_S_scl", 1.0475519999999998}, {"Kp_S_scl", 4.190207999999999}}},
        // Ki = 50^2 * 1 ms * S / P, S / P = 1 ms; Kp = 2 * 50 * 1 ms
        TuneCase{"position over speed", nullptr, {}, TunePositionController,
                 {{"Ki_P_scl", 0.0025}, {"Kp_P_scl", 0.1}, {"Kd_P_scl", 0.0}}},
        // S = 1.27324 * |10 / 1|, P = 4 * 5000 / 2pi = 3183.1
        TuneCase{"dual loop", "dual_loop", {}, TunePositionController, {{"Ki_P_scl", 0.01}, {"Kp_P_scl", 0.4}}},
        // X Iscale / P = 550e-6 * 3273.6 / 1273.24: Ki = 50^3 T .., Kp = 3 * 50^2 .., Kd = 3 * 50 .. / T
        TuneCase{"position on current", nullptr, {{"PositionControlType", 0}}, TunePositionController,
                 {{"Ki_P_scl", 0.17676171065422971}, {"Kp_P_scl", 10.605702639253783},
                  {"Kd_P_scl", 212.11405278507564}}},
        TuneCase{"position on current at Tc", nullptr, {{"PositionControlType", 0}, {"PosSpd_in_FastLoop", 1}},
                 TunePositionController, {{"Ki_P_scl", 0.01767617106542297}, {"Kd_P_scl", 2121.1405278507564}}}));

TEST_F(Tuning, AMissingParameterWritesNothing) {
  for (const auto& [missing, tune, gain] : {std::tuple{"Dump_C", Tune{TuneCurrentController}, "Kp_C_scl"},
                                            {"Jt", TuneSpeedController, "Ki_S_scl"},
                                            {"Kd_P_scl", TunePositionController, "Ki_P_scl"}}) {
    Set(gain, 7.0);
    setup.RemoveParameter(missing);
    EXPECT_FALSE(tune(&setup)) << missing;
    EXPECT_EQ(Value(gain), 7.0) << missing;
  }
}

// The tuned current loop on the motor itself: the drive's PI acts on counts, so in volts per
// ampere its gains are Kp = Kp_scl Iscale / Kv and Ki = Ki_scl Iscale / (Kv Tc) per second.
// Closing it around R + L s gives L s^2 + (R + Kp) s + Ki: its natural frequency and damping
// must be the ones asked for.
TEST_F(Tuning, TheTunedCurrentLoopHasTheRequestedBandwidth) {
  const double r = 0.9, l = 1.2e-3, tc = 1e-4;
  const double iscale = 65472.0 / (2 * 10.0), kv = 65534.0 / (1.1 * 48.0);
  for (const auto& [bandwidth, damping] : {std::pair{6000.0, 1.0}, {3000.0, 0.7}, {9000.0, 1.3}}) {
    Set({{"PB_C", bandwidth}, {"Dump_C", damping}});
    ASSERT_TRUE(TuneCurrentController(&setup));
    const double kp = Value("Kp_C_scl") * iscale / kv;
    const double ki = Value("Ki_C_scl") * iscale / (kv * tc);
    const double naturalFrequency = std::sqrt(ki / l);
    const double dampingRatio = (r + kp) / (2.0 * l * naturalFrequency);
    EXPECT_NEAR(naturalFrequency, bandwidth, 1e-9 * bandwidth);
    EXPECT_NEAR(dampingRatio, damping, 1e-9);
  }
}

}  // namespace
}  // namespace kestrel
