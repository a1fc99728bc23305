// Biquad filters of the speed loop, H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2),
// at up to three places of the control structure: designed from the user's type, frequencies
// and Q, quantised to the drive's fixed-point coefficients (each c as c / SF * 2^31, SF a power
// of two), and packed into the drive's filter slots by place.
//
// User filters i = 1 to 9: "BQFilter<i>" (0 off), "BQFilterType<i>", "BQFilterLocation<i>" (0
// position controller output, 1 speed controller output, 2 speed feedback), "BQFilterF1<i>" (Hz;
// the lead frequency of a lead-lag), "BQFilterF2<i>" (the lag frequency), "BQFilterQ<i>".
// Drive slots s = 1 to MaxFilters: "BQ<s>B0", "BQ<s>B1", "BQ<s>B2", "BQ<s>A1", "BQ<s>A2",
// "BQ<s>SF"; the slots of each place: SPDREF_BQ_INI, IQREF_BQ_INI, ASPD_BQ_INI.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "compute/compute_reporter.h"
#include "drivebase/setup.h"

namespace kestrel {

inline constexpr int kFilterTypeCount = 10;
inline constexpr int kUserFilterCount = 9;
inline constexpr const char* kFiltersDisabledMessage =
    "Error: Filters disabled! Current firmware does not support this many filters. Please disable "
    "some filters.";

struct FilterType {
  const char* name;
  bool offered;  // the Filters dialog offers it
};

// The places a filter can take, with the register counting the slots of each.
inline constexpr std::array<const char*, 3> kFilterPlaces = {
    "Position Controller Output", "Speed Controller Output", "Speed Feedback"};
inline constexpr std::array<const char*, 3> kFilterPlaceCounts = {"SPDREF_BQ_INI", "IQREF_BQ_INI",
                                                                  "ASPD_BQ_INI"};

}  // namespace kestrel

class CBiquadDesigner {
 public:
  static const std::array<kestrel::FilterType, kestrel::kFilterTypeCount> kTypes;

  // The types the Filters dialog offers, in index order.
  void GetAvailableTypes(std::vector<std::string>& names, std::vector<int>& indices) const;

  // Fills b0 to a2 for the type at the normalised frequency f1 (Hz times the sample period)
  // with Q, or for types 8 and 9 the normalised lag frequency, and a gain in dB (peak and shelf
  // types). Types above 9 leave the coefficients unchanged.
  void DesignFilter(int type, double f1, double qOrF2, double gainDb);

  // The smallest SF = 2^e (e >= 0) for which every coefficient fits a signed 32-bit register as
  // floor(c / SF * 2^31 + 0.5); the coefficients then hold those integers. A design that is not
  // a number (a frequency at or beyond the Nyquist frequency) becomes the pass-through H = 1.
  void QuantizeCoefficients();

  // Moves the quantised b0 so that the DC gain (b0 + b1 + b2 - a1 - a2 against 2^31 / SF) is
  // exactly 1.
  void CorrectDcGain();

  // Types whose designed DC gain is 1; high pass and band pass pass no DC and are not corrected.
  static bool HasUnitDcGain(int type);

  // Designs user filter i into drive slot s (Ts_S the sample period, a gain of 0 dB).
  int WriteFilterSlot(CMC_Setup* setup, int filter, int slot);

  // Packs the enabled filters into the slots by place and writes the slot counts. With more
  // enabled filters than slots it reports kFiltersDisabledMessage as an error, returns 0 and
  // leaves every count 0. Without a reporter the report goes to the host's error reporting.
  int WriteAllFilters(CMC_Setup* setup, const kestrel::ComputeReporter& reporter);
  int WriteAllFilters(CMC_Setup* setup);

  // Downloads the counts and the registers of every slot that exists; 0 when a write failed
  // (the communication error is reported).
  int WriteFiltersToDrive(CMC_Setup* setup);

  double b0 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
  double SF = 1.0;
};
