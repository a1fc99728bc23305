// Sensors: the Hall code table of the twelve wirings, the encoder's 32-bit counter and its
// capture, and the hand that turns the shaft.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "reference_drive.h"
#include "sensors/feedback.h"
#include "sensors/halls.h"
#include "sensors/resolver.h"

namespace drivesim::testing {
namespace {

constexpr double kDegree = M_PI / 180.0;

struct HallWiring {
  int hallCase;
  std::array<int, 3> order;
  bool inverted;
  std::array<int, 6> codes;   // Hall code in sectors 0 … 5 (sector σ centred at 60°·σ + δ)
};

class HallTable : public ::testing::TestWithParam<HallWiring> {};

TEST_P(HallTable, EachSectorShowsTheCodeOfItsRowForAnyShift) {
  const HallWiring& w = GetParam();
  for (double shift : {-20.0, 0.0, 20.0}) {
    HallModel halls{w.order, w.inverted, shift};
    for (int sector = 0; sector < 6; ++sector) {
      sensors::HallState state;
      const double theta = (60.0 * sector + shift) * kDegree;
      EXPECT_EQ(sensors::UpdateHalls(halls, state, theta), w.codes[static_cast<std::size_t>(sector)])
          << "HALLCASE " << w.hallCase << " shift " << shift << " sector " << sector;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    TwelveWirings, HallTable,
    ::testing::Values(HallWiring{2, {1, 2, 3}, false, {5, 4, 6, 2, 3, 1}}, HallWiring{3, {2, 3, 1}, true, {4, 6, 2, 3, 1, 5}},
                      HallWiring{4, {3, 1, 2}, false, {6, 2, 3, 1, 5, 4}}, HallWiring{5, {1, 2, 3}, true, {2, 3, 1, 5, 4, 6}},
                      HallWiring{6, {2, 3, 1}, false, {3, 1, 5, 4, 6, 2}}, HallWiring{7, {3, 1, 2}, true, {1, 5, 4, 6, 2, 3}},
                      HallWiring{8, {3, 2, 1}, false, {5, 1, 3, 2, 6, 4}}, HallWiring{9, {2, 1, 3}, true, {4, 5, 1, 3, 2, 6}},
                      HallWiring{10, {1, 3, 2}, false, {6, 4, 5, 1, 3, 2}}, HallWiring{11, {3, 2, 1}, true, {2, 6, 4, 5, 1, 3}},
                      HallWiring{12, {2, 1, 3}, false, {3, 2, 6, 4, 5, 1}}, HallWiring{13, {1, 3, 2}, true, {1, 3, 2, 6, 4, 5}}),
    [](const auto& param) { return "HallCase" + std::to_string(param.param.hallCase); });

// An edge at 30° moves only once the angle is half a degree past it, both ways.
TEST(Halls, EdgesHaveHalfADegreeOfHysteresis) {
  const HallModel halls{{1, 2, 3}, false, 0.0};
  sensors::HallState state;
  EXPECT_EQ(sensors::UpdateHalls(halls, state, 0.0), 5);
  EXPECT_EQ(sensors::UpdateHalls(halls, state, 30.4 * kDegree), 5);
  EXPECT_EQ(sensors::UpdateHalls(halls, state, 30.6 * kDegree), 4);
  EXPECT_EQ(sensors::UpdateHalls(halls, state, 29.6 * kDegree), 4);
  EXPECT_EQ(sensors::UpdateHalls(halls, state, 29.4 * kDegree), 5);
}

TEST(Encoder, CounterWrapsAtThirtyTwoBits) {
  sensors::FeedbackSensor encoder;
  encoder.model.lines = 1;   // 4 counts per revolution
  sensors::FeedbackInputState s;
  sensors::UpdateFeedbackInput(encoder, {}, s, 0.0, 0.0);
  s.encoder.counter = 0x7FFFFFFFu;
  sensors::UpdateFeedbackInput(encoder, {}, s, 0.0, 2.5 * M_PI / 2.0);
  EXPECT_EQ(static_cast<std::int32_t>(s.encoder.counter), std::numeric_limits<std::int32_t>::min() + 1);
}

// A capture command the drive does not know arms nothing.
TEST(Encoder, NoCaptureBeforeArming) {
  Drive drive = LoadedDrive();
  drive.WriteVariable("CAPPOS", 77);
  EXPECT_FALSE(drive.ExecuteCommand("!CAP;BOGUS;").ok());
  drive.HandTurn(2.0 * M_PI, 1.0);
  drive.RunUntil(1.5);
  EXPECT_EQ(drive.ReadVariable("CAPPOS"), 77);
}

// A rotor set spinning by hand and released coasts down against its friction:
// J·dω/dt = −T_c − b·ω, so ω(t) = (ω0 + T_c/b)·e^(−b·t/J) − T_c/b.
TEST(Hand, ReleasedRotorSlowsDownByItsFrictionAlone) {
  Drive drive = LoadedDrive();
  drive.HandTurn(20.0, 0.4);
  drive.RunUntil(0.2);  // the middle of the turn: full speed
  drive.HandRelease();
  const double speed0 = drive.ShaftSpeed();
  ASSERT_GT(speed0, 50.0);
  drive.RunUntil(0.3);
  const double J = 1e-4, b = 1e-5, Tc = 0.002, t = drive.Now_s() - 0.2;
  EXPECT_NEAR(drive.ShaftSpeed(), (speed0 + Tc / b) * std::exp(-b * t / J) - Tc / b, 2e-3 * speed0);
}

// The R/D converter's type-2 loop (ω_n = 2π·1 kHz, ζ = 0.7) in 100 µs steps: a step at rest
// overshoots by 4.6 % and more (the zero of 2ζω_n·ε) and settles exactly; a constant speed leaves
// no error; a constant acceleration α lags by α/ω_n² (within 5 %: ω_n·dt = 0.063 per sub-step).
TEST(ResolverConverter, TracksWithTheErrorsOfATypeTwoLoop) {
  const double wn = 2.0 * M_PI * 1000.0;
  sensors::ResolverTracker step;
  sensors::TrackResolver(step, 0.0, 0.0);
  double peak = 0.0;
  for (int k = 0; k < 100; ++k) {
    sensors::TrackResolver(step, 0.1, 100e-6);
    peak = std::max(peak, step.angle);
  }
  EXPECT_NEAR(peak, 0.1 * 1.15, 0.1 * 0.1);
  EXPECT_TRUE(step.Settled());
  sensors::ResolverTracker ramp, accelerating;
  for (int k = 0; k <= 300; ++k) {
    const double t = k * 100e-6;
    sensors::TrackResolver(ramp, 100.0 * t, 100e-6);
    sensors::TrackResolver(accelerating, 0.5 * 1000.0 * t * t, 100e-6);
  }
  EXPECT_NEAR(ramp.angle, 100.0 * 0.03, 1e-9);
  EXPECT_NEAR(0.5 * 1000.0 * 0.03 * 0.03 - accelerating.angle, 1000.0 / (wn * wn), 0.05 * 1000.0 / (wn * wn));
}

}  // namespace
}  // namespace drivesim::testing
