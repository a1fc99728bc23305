#include "compute/position_scale.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "case_file.h"
#include "compute_test_setup.h"

namespace kestrel {
namespace {

using test_support::MakeSetup;
using test_support::Put;

std::vector<nlohmann::json> PositionCases() {
  const nlohmann::json file = test_support::ReadCaseFile("position_scales.json");
  return {file.at("cases").begin(), file.at("cases").end()};
}

// The sensors of cases/position_scales.json.
CMC_Setup SensorSetup(const nlohmann::json& c) {
  CMC_Setup setup = MakeSetup({{"MECRESL", 8000}, {"Resolution", 1e-6},
                               {"No_encoder_lines_LD", 5000}, {"Resolution_LD", 2e-6},
                               {"DBTTH", 4}, {"PolePitch", 0.032}, {"SINCOS_fract", 6},
                               {"SINCOS_fract_LD", 3}, {"SSI_No_Bits_Revolution", 17},
                               {"SSI_No_Bits_Revolution_LD", 20}, {"SSI_Resolution", 5e-7},
                               {"SSI_Resolution_LD", 1e-6}, {"Load_transmission", 2}});
  Put(setup, {{"Motor_transmission", 2 * c.at("ratio").get<double>()}, {"MotorSensorType", c.at("motor").get<double>()},
              {"LoadSensorType", c.at("load").get<double>()}, {"TransmissionType", c.at("transmission").get<double>()}});
  return setup;
}

class PositionScaleTest : public ::testing::TestWithParam<nlohmann::json> {};

TEST_P(PositionScaleTest, MotorAndLoadScales) {
  const nlohmann::json& c = GetParam();
  const CMC_Setup setup = SensorSetup(c);
  EXPECT_DOUBLE_EQ(GetMotorPositionScale(&setup), c.at("motorScale").get<double>()) << c.at("why");
  EXPECT_DOUBLE_EQ(GetLoadPositionScale(&setup), c.at("loadScale").get<double>()) << c.at("why");
}

INSTANTIATE_TEST_SUITE_P(Sensors, PositionScaleTest, ::testing::ValuesIn(PositionCases()));

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
  CMC_Setup setup = SensorSetup({{"motor", 3}, {"load", 0}, {"transmission", 0}, {"ratio", 1}});
  Put(setup, "SINCOS_fract", 31);
  EXPECT_DOUBLE_EQ(GetMotorPositionScale(&setup), 2.0 * 2000 * 2147483648.0 / 3.141592653589793);
  Put(setup, "SINCOS_fract", -32768);
  EXPECT_EQ(GetMotorPositionScale(&setup), 0.0);
}

}  // namespace
}  // namespace kestrel
