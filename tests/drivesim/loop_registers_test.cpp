// The speed, position and filter settings read from the register file.
#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <string>

#include "control/loop_registers.h"

namespace drivesim::control {
namespace {

RegisterLookup LookupIn(const std::map<std::string, std::int32_t, std::less<>>& file) {
  return [&file](std::string_view name, std::int32_t fallback) {
    const auto it = file.find(name);
    return it == file.end() ? fallback : it->second;
  };
}

// The reference speed tuning (PB_S 200 rad/s) with IlimPS 8 A = 26188 counts (SATS 6579) and
// IPSatS 80 % = 20950 counts (IMAXS 11817); KFFA_scl 3000 gives s = 12: SFTAFFW 11, SFTKFF 1,
// KFFA 3000·32767/4096 = 23999.
TEST(LoopRegisters, SpeedGainsOfTheReferenceTuning) {
  const std::map<std::string, std::int32_t, std::less<>> file = {
      {"KPS", 27424}, {"SFTKPS", 10}, {"KIS", 21939}, {"SFTKIS", 7},  {"SATS", 6579},
      {"IMAXS", 11817}, {"KFFA", 23999}, {"SFTAFFW", 11}, {"SFTKFF", 1}};
  const SpeedLoopGains g = SpeedGainsFromRegisters(LookupIn(file));
  EXPECT_EQ(std::tie(g.kps, g.sftkps, g.kis, g.sftkis), std::make_tuple(27424, 10, 21939, 7));
  EXPECT_EQ(g.outputLimit, 26188);
  EXPECT_EQ(g.integralLimit, 20950);
  EXPECT_EQ(std::tie(g.kffa, g.sftaffw, g.sftkff), std::make_tuple(23999, 11, 1));
}

// ACR bit 14 alone switches the speed feed-forward; KDFP absent leaves the derivative unfiltered;
// a saturation register beyond full scale leaves no output rather than a negative limit.
TEST(LoopRegisters, PositionGainsAndTheirSwitches) {
  struct Case {
    std::int32_t acr;
    bool feedForward;
  };
  for (const Case& c : {Case{0x4000, true}, Case{0xBFFF, false}, Case{0x4200, true}, Case{0, false}}) {
    const std::map<std::string, std::int32_t, std::less<>> file = {
        {"KPP", 100}, {"SFTKPP", 2}, {"KIP", 200}, {"SFTKIP", 3}, {"KDP", 300}, {"SFTKDP", 4},
        {"IMAXP", 30000}, {"SATP", 40000}, {"KFFS", 500}, {"SFTSFFW", 5}, {"ACR", c.acr}};
    SCOPED_TRACE("ACR " + std::to_string(c.acr));
    const PositionLoopGains g = PositionGainsFromRegisters(LookupIn(file));
    EXPECT_EQ(g.speedFeedForward, c.feedForward);
    EXPECT_EQ(std::tie(g.kpp, g.sftkpp, g.kip, g.sftkip, g.kdp, g.sftkdp), std::make_tuple(100, 2, 200, 3, 300, 4));
    EXPECT_EQ(g.kdfp, 32767);
    EXPECT_EQ(g.integralLimit, 2767);
    EXPECT_EQ(g.outputLimit, 0);
    EXPECT_EQ(std::tie(g.kffs, g.sftsffw), std::make_tuple(500, 5));
  }
}

// Counts 1, 0, 2 read three slots in order; a slot without its SF register has SF 1; a negative
// count reads no slot.
TEST(LoopRegisters, FilterSlotsAsManyAsTheCountsAddUpTo) {
  std::map<std::string, std::int32_t, std::less<>> file = {{"SPDREF_BQ_INI", 1}, {"IQREF_BQ_INI", 0},
                                                          {"ASPD_BQ_INI", 2}};
  for (int n = 1; n <= 4; ++n) {
    const std::string slot = "BQ" + std::to_string(n);
    for (const char* c : {"B0", "B1", "B2", "A1", "A2"}) file[slot + c] = 10 * n + (c[0] == 'A' ? 5 : 0) + (c[1] - '0');
    if (n != 3) file[slot + "SF"] = 2;
  }
  const BiquadBank bank = BiquadsFromRegisters(LookupIn(file));
  ASSERT_EQ(bank.slots.size(), 3u);
  EXPECT_EQ(bank.counts.measuredSpeed, 2u);
  EXPECT_EQ(bank.slots[1].b0, 20);
  EXPECT_EQ(bank.slots[1].b2, 22);
  EXPECT_EQ(bank.slots[1].a1, 26);
  EXPECT_EQ(bank.slots[2].a2, 37);
  EXPECT_EQ(bank.slots[0].sf, 2);
  EXPECT_EQ(bank.slots[2].sf, 1);

  file["ASPD_BQ_INI"] = -2;
  EXPECT_EQ(BiquadsFromRegisters(LookupIn(file)).slots.size(), 1u);
}

}  // namespace
}  // namespace drivesim::control
