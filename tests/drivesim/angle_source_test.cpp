// The commutation angle of each source, worked by hand: the encoder offset captured at the
// alignment, the Hall sectors of three wirings, SSI words of 12, 16, 17 and 20 bits with ZAOFF
// in min(B, 16)-bit units, the resolver's emulated encoder and the linear Hall atan2.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "control/angle_source.h"

namespace drivesim::control {
namespace {

struct CounterCase {
  const char* name;
  AngleRegisters registers;
  std::int32_t counter;
  std::int32_t angle16;
};

AngleRegisters Encoder(int shift = 0) {
  AngleRegisters r;
  r.enc2thl = 2147483;  // 4 pole pairs, 2000 lines: 4·2^30/2000
  r.interpolationShift = shift;
  return r;
}

AngleRegisters Ssi(int bits, std::int64_t enc2thl, std::int32_t zaoff) {
  AngleRegisters r;
  r.ssiBits = bits;
  r.enc2thl = enc2thl;
  r.zaoff = zaoff;
  return r;
}

AngleRegisters Resolver(std::int32_t zaoff) {
  AngleRegisters r;
  r.mecresl = 4096;
  r.enc2thl = 4194304;  // 4·2^32/4096
  r.zaoff = zaoff;
  return r;
}

class EncoderOffset : public ::testing::TestWithParam<CounterCase> {};

// COMMUTATE at counter 1234 makes θ_e16 = 0 there; 500 counts on is a quarter electrical turn
// less the truncation of ENC2THL: 500·2147483 = 1 073 741 500 → 16383.
TEST_P(EncoderOffset, CapturedAtTheAlignment) {
  const CounterCase& c = GetParam();
  const std::uint32_t offset = IncrementalOffset32(1234 << c.registers.interpolationShift, 0, c.registers);
  EXPECT_EQ(IncrementalAngle16(offset, 1234 << c.registers.interpolationShift, c.registers), 0);
  EXPECT_EQ(IncrementalAngle16(offset, c.counter, c.registers), c.angle16);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, EncoderOffset,
    ::testing::Values(CounterCase{"QuarterTurnOn", Encoder(), 1234 + 500, 16383},
                      CounterCase{"QuarterTurnBack", Encoder(), 1234 - 500, -16384},  // 49152.004 → −16384
                      CounterCase{"TwoTurnsOn", Encoder(), 1234 + 4000, -1},           // 4000·ENC2THL falls 2592 short of 2^33
                      // sin/cos, 2^6 counts per quarter period read at 2^2: 16 counter counts per commutation count
                      CounterCase{"InterpolatedQuarterTurn", Encoder(4), (1234 + 500) << 4, 16383},
                      CounterCase{"InterpolatedBelowOneStep", Encoder(4), (1234 << 4) + 15, 0}),
    [](const auto& param) { return std::string(param.param.name); });

class CounterAngle : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterAngle, FromTheRegisters) {
  const CounterCase& c = GetParam();
  const std::int32_t angle =
      c.registers.ssiBits > 0 ? AbsoluteAngle16(c.counter, c.registers) : ResolverAngle16(c.counter, c.registers);
  EXPECT_EQ(angle, c.angle16);
}

// 4 pole pairs, ENC2THL = 4·2^(32 − B). At the alignment the angle is 0; a quarter electrical
// turn on (2^B/16 counts) it is 16384.
//   B = 12: ZAOFF 1000 → (1256 − 1000)·4·16 = 16384; three turns on, the counter modulo 2^12 is the same.
//   B = 16: ZAOFF 7232, counter 7232 + 4096.
//   B = 17: absolute 80001 at alignment → ZAOFF 7232 (40000 mod 16384): (40000 − 7232)·4 = 131072 ≡ 0;
//           + 8192 → (44096 − 7232)·4 = 147456 ≡ 16384.
//   B = 20: absolute 640016 → 40001 in 16-bit units, ZAOFF 7233; + 65536 → 44097 → 16384;
//           15 counts more stay within the same 16-bit step.
// Resolver, MECRESL 4096, ZAOFF 100: (356 − 100)·4·65536/4096 = 16384; one turn back the same;
// one count below ZAOFF: −64.
INSTANTIATE_TEST_SUITE_P(
    Sources, CounterAngle,
    ::testing::Values(CounterCase{"Ssi12", Ssi(12, 4194304, 1000), 1256, 16384},
                      CounterCase{"Ssi12ThreeTurnsOn", Ssi(12, 4194304, 1000), 3 * 4096 + 1256, 16384},
                      CounterCase{"Ssi12NegativeCounter", Ssi(12, 4194304, 1000), 1256 - 4096, 16384},
                      CounterCase{"Ssi16", Ssi(16, 262144, 7232), 7232 + 4096, 16384},
                      CounterCase{"Ssi17AtAlignment", Ssi(17, 131072, 7232), 80001, 0},
                      CounterCase{"Ssi17QuarterTurn", Ssi(17, 131072, 7232), 80001 + 8192, 16384},
                      CounterCase{"Ssi20AtAlignment", Ssi(20, 16384, 7233), 640016, 0},
                      CounterCase{"Ssi20QuarterTurn", Ssi(20, 16384, 7233), 640016 + 65536 + 15, 16384},
                      CounterCase{"ResolverQuarterTurn", Resolver(100), 356, 16384},
                      CounterCase{"ResolverTurnBack", Resolver(100), 356 - 4096, 16384},
                      CounterCase{"ResolverBelowOffset", Resolver(100), 99, -64}),
    [](const auto& param) { return std::string(param.param.name); });

// HALLCASE 2 (order [1, 2, 3]): sectors 0 … 5 show 5 4 6 2 3 1; HALLCASE 8 (order [3, 2, 1],
// d = −1): 5 1 3 2 6 4; HALLCASE 5 (inverted): 2 3 1 5 4 6. Codes 0 and 7 and wiring codes
// outside 2 … 13 give no sector.
TEST(HallSectors, ThreeWiringsAndTheInvalidCodes) {
  const std::vector<std::pair<std::int32_t, std::vector<int>>> rows = {
      {2, {5, 4, 6, 2, 3, 1}}, {8, {5, 1, 3, 2, 6, 4}}, {5, {2, 3, 1, 5, 4, 6}}};
  for (const auto& [hallCase, codes] : rows) {
    for (int sector = 0; sector < 6; ++sector) {
      EXPECT_EQ(HallSector(codes[static_cast<std::size_t>(sector)], hallCase), sector) << "HALLCASE " << hallCase;
    }
  }
  EXPECT_EQ(HallSector(0, 2), std::nullopt);
  EXPECT_EQ(HallSector(7, 2), std::nullopt);
  EXPECT_EQ(HallSector(5, 14), std::nullopt);
}

// HALL30 1820 (+10°): centres at 60°·σ + 10°; the edge into sector 1 from sector 0 lies at
// 30° + 10° (5462 + 1820, the centre rounded to 10923), from sector 2 at 90° + 10°; sector 5
// wraps to −50°.
TEST(HallSectors, CentresAndEdgesWithTheShift) {
  EXPECT_EQ(HallSectorCentre16(0, 1820), 1820);
  EXPECT_EQ(HallSectorCentre16(1, 1820), 12743);
  EXPECT_EQ(HallSectorCentre16(5, 1820), 54613 + 1820 - 65536);
  EXPECT_EQ(HallEdge16(0, 1, 1820), 7282);
  EXPECT_EQ(HallEdge16(2, 1, 1820), 18204);
  EXPECT_EQ(HallEdge16(5, 0, 1820), 1820 - 5461);
}

// Linear Halls at θ_e = 30°, channels 2.5 V + 1.5 V·sin(θ − x·ψ) on 13 094.4 counts per volt.
struct LinearCase {
  const char* name;
  double spacing_deg;          // true channel spacing
  std::int32_t alpha;          // ALPHA the drive uses
  double maxError16;           // allowed |θ̂ − 5461|
  bool compensated;
};

class LinearHallAngle : public ::testing::TestWithParam<LinearCase> {};

TEST_P(LinearHallAngle, AtanOfTheCalibratedChannels) {
  const LinearCase& c = GetParam();
  std::array<std::int32_t, 3> counts{};
  for (std::size_t x = 0; x < 3; ++x) {
    const double volts = 2.5 + 1.5 * std::sin((30.0 - c.spacing_deg * static_cast<double>(x)) * M_PI / 180.0);
    counts[x] = static_cast<std::int32_t>(std::lround(volts * 65472.0 / 5.0));
  }
  LinearHallCalibration calibration;
  calibration.spacing = c.alpha;
  const double error = std::abs(LinearHallAngle16(counts, calibration) - 5461.0);
  if (c.compensated) {
    EXPECT_LE(error, c.maxError16);
  } else {
    EXPECT_GT(error, c.maxError16);
  }
}

// 120° nominal: within 2 counts of 30°; a 130° spacing read as 120° is off by more than 1°
// (182 counts); with ALPHA = 130° (23665) it is back within 2 counts.
INSTANTIATE_TEST_SUITE_P(Spacings, LinearHallAngle,
                         ::testing::Values(LinearCase{"Nominal", 120.0, 21845, 2.0, true},
                                           LinearCase{"SpacingErrorIgnored", 130.0, 21845, 182.0, false},
                                           LinearCase{"SpacingErrorCompensated", 130.0, 23665, 2.0, true}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace drivesim::control
