#include "compute/position_scale.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::MakeSetup;
using test_support::Put;

struct PositionCase {
  int motorSensor, loadSensor, transmission;
  double ratio;       // Motor_transmission / Load_transmission
  double motorScale;  // counts per motor rad or m
  double loadScale;   // counts per load rad or m
};

void PrintTo(const PositionCase& c, std::ostream* out) {
  *out << "motor " << c.motorSensor << ", load " << c.loadSensor << ", transmission "
       << c.transmission << ", ratio " << c.ratio;
}

// Sensors: 2000-line motor encoder (MECRESL 8000), 1 um motor scale, 5000-line load encoder,
// 2 um load scale, 32 mm pole pitch with DBTTH 4 (4096 counts per pitch), sine/cosine
// interpolation 2^6 (motor) and 2^3 (load), 17-bit (motor) and 20-bit (load) absolute
// encoders, 0.5 um and 1 um linear absolute encoders.
CMC_Setup SensorSetup(const PositionCase& c) {
  CMC_Setup setup = MakeSetup({{"MECRESL", 8000}, {"Resolution", 1e-6},
                               {"No_encoder_lines_LD", 5000}, {"Resolution_LD", 2e-6},
                               {"DBTTH", 4}, {"PolePitch", 0.032}, {"SINCOS_fract", 6},
                               {"SINCOS_fract_LD", 3}, {"SSI_No_Bits_Revolution", 17},
                               {"SSI_No_Bits_Revolution_LD", 20}, {"SSI_Resolution", 5e-7},
                               {"SSI_Resolution_LD", 1e-6}, {"Load_transmission", 2}});
  Put(setup, {{"Motor_transmission", 2 * c.ratio}, {"MotorSensorType", c.motorSensor},
              {"LoadSensorType", c.loadSensor}, {"TransmissionType", c.transmission}});
  return setup;
}

class PositionScaleTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(PositionScaleTest, MotorAndLoadScales) {
  const PositionCase& c = GetParam();
  const CMC_Setup setup = SensorSetup(c);
  EXPECT_DOUBLE_EQ(GetMotorPositionScale(&setup), c.motorScale);
  EXPECT_DOUBLE_EQ(GetLoadPositionScale(&setup), c.loadScale);
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, PositionScaleTest,
    ::testing::Values(
        // Motor sensor only: the load scale is the motor scale times the ratio.
        PositionCase{1, 0, 0, 2, 1273.2395447351628, 2546.4790894703256},  // 4 * 2000 / 2pi
        PositionCase{1, 0, 3, 2, 1e6, 2e6},                                // 1 / 1 um
        PositionCase{1, 0, 2, 2, 1e6, 2e6},                                // linear motor side
        PositionCase{9, 0, 0, 2, 1273.2395447351628, 2546.4790894703256},
        PositionCase{2, 0, 0, 2, 1273.2395447351628, 2546.4790894703256},  // 8000 / 2pi
        PositionCase{2, 0, 3, 2, 128000.0, 256000.0},                      // 2^12 / 32 mm
        PositionCase{3, 0, 0, 2, 81487.33086305042, 162974.66172610084},   // 2 * 2000 * 64 / pi
        PositionCase{3, 0, 3, 2, 64e6, 128e6},                             // 64 / 1 um
        PositionCase{4, 0, 3, 2, 1273.2395447351628, 2546.4790894703256},  // 8000 / 2pi, any side
        PositionCase{5, 0, 0, 2, 20860.756700940907, 41721.51340188181},   // 2^17 / 2pi
        PositionCase{6, 0, 1, 2, 20860.756700940907, 41721.51340188181},
        PositionCase{5, 0, 2, 2, 2e6, 4e6},                                // 1 / 0.5 um
        // Other motor sensors count 1 per unit; the load scale takes the incremental load rule.
        PositionCase{7, 0, 0, 2, 1.0, 3183.098861837907},  // 4 * 5000 / 2pi
        PositionCase{8, 0, 3, 2, 1.0, 500000.0},           // 1 / 2 um
        PositionCase{12, 0, 0, 2, 1.0, 3183.098861837907}, PositionCase{0, 0, 0, 2, 1.0, 1.0},
        // A load sensor gives the load scale without the ratio...
        PositionCase{1, 1, 0, 2, 1273.2395447351628, 3183.098861837907},
        PositionCase{1, 1, 1, 2, 1273.2395447351628, 500000.0},
        PositionCase{3, 5, 0, 2, 81487.33086305042, 333772.1072150545},  // 2^20 / 2pi * 2
        // ...and stands in for a missing motor sensor, divided by the ratio.
        PositionCase{0, 1, 0, 2, 1591.5494309189535, 3183.098861837907},
        PositionCase{0, 2, 0, 2, 1.5915494309189532e-07, 3.1830988618379064e-07},  // 2 um / 2pi
        PositionCase{0, 2, 1, 2, 64000.0, 128000.0},
        PositionCase{0, 3, 0, 2, 12732.395447351628, 25464.790894703256},  // 2 * 5000 * 8 / pi
        PositionCase{0, 3, 3, 2, 2e6, 4e6},                                // 8 / 2 um
        PositionCase{0, 4, 0, 2, 636.6197723675814, 1273.2395447351628},
        // Absolute load encoders carry the ratio already.
        PositionCase{0, 5, 0, 2, 333772.1072150545, 333772.1072150545},
        PositionCase{0, 6, 1, 2, 2e6, 2e6},  // 1 / 1 um * 2
        PositionCase{0, 7, 0, 2, 1273.2395447351628, 1.0},
        // The sign of the ratio carries into the scales that include it.
        PositionCase{1, 0, 0, -2, 1273.2395447351628, -2546.4790894703256},
        PositionCase{0, 5, 0, -2, -333772.1072150545, -333772.1072150545},
        PositionCase{0, 1, 0, -2, -1591.5494309189535, 3183.098861837907}));

TEST(InterpolationFactor, EveryChoiceSettingIsDefined) {
  EXPECT_EQ(InterpolationFactor(0), 1.0);
  EXPECT_EQ(InterpolationFactor(10.9), 1024.0);
  EXPECT_EQ(InterpolationFactor(30), 1073741824.0);
  EXPECT_EQ(InterpolationFactor(31), 2147483648.0);
  EXPECT_EQ(InterpolationFactor(-1), 0.5);
  EXPECT_EQ(InterpolationFactor(1023), std::ldexp(1.0, 1023));
  EXPECT_EQ(InterpolationFactor(32767), std::numeric_limits<double>::infinity());
  EXPECT_EQ(InterpolationFactor(-32768), 0.0);
}

TEST(InterpolationFactor, EntersTheSineCosineScale) {
  CMC_Setup setup = SensorSetup({3, 0, 0, 1, 0, 0});
  Put(setup, "SINCOS_fract", 31);
  EXPECT_DOUBLE_EQ(GetMotorPositionScale(&setup), 2.0 * 2000 * 2147483648.0 / 3.141592653589793);
  Put(setup, "SINCOS_fract", -32768);
  EXPECT_EQ(GetMotorPositionScale(&setup), 0.0);
}

TEST(PositionScale, ZeroDivisorsPassOnTheirInfinity) {
  CMC_Setup setup = SensorSetup({1, 0, 3, 1, 0, 0});
  Put(setup, "Resolution", 0);
  EXPECT_EQ(GetMotorPositionScale(&setup), std::numeric_limits<double>::infinity());
  Put(setup, {{"Load_transmission", 0}, {"Motor_transmission", 0}});
  EXPECT_TRUE(std::isnan(GetLoadPositionScale(&setup)));  // inf * 0 / 0
}

}  // namespace
}  // namespace kestrel
