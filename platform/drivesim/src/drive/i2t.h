// The I²t protection of a winding or a power stage: a thermal integrator fed with the square of
// the current vector amplitude i (counts) at every slow sample,
//
//   H ← max(0, H + (i² − i_n²)·SFI2T),     trip when H > I2TINTLIM·16·2^26,
//
// i_n the nominal current (II2TPROT). Below the nominal current the integrator cools down and
// never below 0 (a cold motor stores no headroom). At a constant current i > i_n it trips after
//   N = I2TINTLIM·16·2^26 / ((i² − i_n²)·SFI2T)  slow samples,
// which with I2TINTLIM = (I_lim² − I_n²)·Iscale²/16 and SFI2T = Ts_S·2^26/t_lim is t_lim at
// i = I_lim: the time for which the drive supports I_lim. Exact in 64-bit integers.
#pragma once

#include <algorithm>
#include <cstdint>

namespace drivesim::drive {

struct I2tSettings {
  std::int32_t nominal = 0;   // II2TPROT, counts
  std::int32_t factor = 0;    // SFI2T
  std::int32_t limit = 0;     // I2TINTLIM
  bool Valid() const { return factor > 0 && limit > 0; }
};

class I2tIntegrator {
 public:
  // One slow sample at current² (counts²); true when the integrator is above its limit.
  bool Step(const I2tSettings& s, std::int64_t currentSquared) {
    if (!s.Valid()) return false;
    const std::int64_t nominalSquared = std::int64_t{s.nominal} * s.nominal;
    heat_ = std::max<std::int64_t>(0, heat_ + (currentSquared - nominalSquared) * s.factor);
    return heat_ > Threshold(s);
  }
  // `samples` slow samples without current, at once.
  void Cool(const I2tSettings& s, std::int64_t samples) {
    if (!s.Valid()) return;
    const std::int64_t perSample = std::int64_t{s.nominal} * s.nominal * s.factor;
    if (perSample == 0) return;
    heat_ = heat_ / perSample < samples ? 0 : heat_ - samples * perSample;
  }
  std::int64_t Heat() const { return heat_; }

 private:
  static std::int64_t Threshold(const I2tSettings& s) { return std::int64_t{s.limit} * 16 * (std::int64_t{1} << 26); }
  std::int64_t heat_ = 0;
};

}  // namespace drivesim::drive
