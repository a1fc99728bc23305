#include "compute/biquad_designer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "compute/derivation_rule.h"
#include "compute/option_readers.h"
#include "compute/setup_access.h"
#include "drivebase/comm.h"
#include "drivebase/error_report.h"

using kestrel::FilterType;

const std::array<FilterType, kestrel::kFilterTypeCount> CBiquadDesigner::kTypes = {{
    {"Low Pass 1st order", true},
    {"Low Pass 2nd order", true},
    {"Notch", true},
    {"High Pass", true},
    {"Band Pass", true},
    {"Peak", false},
    {"Low Shelf", false},
    {"High Shelf", false},
    {"Lead-lag 1st order", true},
    {"Lead-lag 2nd order", true},
}};

namespace {

constexpr double kTwoTo31 = 2147483648.0;

std::string Numbered(const char* name, int n) { return name + std::to_string(n); }

}  // namespace

void CBiquadDesigner::GetAvailableTypes(std::vector<std::string>& names, std::vector<int>& indices) const {
  names.clear();
  indices.clear();
  for (int type = 0; type < kestrel::kFilterTypeCount; ++type) {
    if (!kTypes[static_cast<std::size_t>(type)].offered) continue;
    names.emplace_back(kTypes[static_cast<std::size_t>(type)].name);
    indices.push_back(type);
  }
}

void CBiquadDesigner::DesignFilter(int type, double f1, double qOrF2, double gainDb) {
  const double k = std::tan(std::numbers::pi * f1);
  const double q = qOrF2;
  const double v = std::pow(10.0, std::fabs(gainDb) / 20.0);
  const double kk = k * k;
  const double root2 = std::sqrt(2.0);
  const double root2v = std::sqrt(2.0 * v);
  switch (type) {
    case 0:
      b0 = k / (k + 1.0);
      b1 = b0;
      b2 = 0.0;
      a1 = (k - 1.0) / (k + 1.0);
      a2 = 0.0;
      return;
    case 1:
    case 2:
    case 3:
    case 4: {
      const double norm = 1.0 / (1.0 + k / q + kk);
      a1 = 2.0 * (kk - 1.0) * norm;
      a2 = (1.0 - k / q + kk) * norm;
      if (type == 1) {
        b0 = kk * norm;
        b1 = 2.0 * b0;
        b2 = b0;
      } else if (type == 2) {
        b0 = (1.0 + kk) * norm;
        b1 = 2.0 * (kk - 1.0) * norm;
        b2 = b0;
        a1 = b1;
      } else if (type == 3) {
        b0 = norm;
        b1 = -2.0 * norm;
        b2 = norm;
      } else {
        b0 = k / q * norm;
        b1 = 0.0;
        b2 = -b0;
      }
      return;
    }
    case 5: {
      // Peak: the numerator's damping scaled by V for a boost, the denominator's for a cut.
      const double boost = gainDb >= 0.0 ? v : 1.0;
      const double cut = gainDb >= 0.0 ? 1.0 : v;
      const double norm = 1.0 / (1.0 + cut * k / q + kk);
      b0 = (1.0 + boost * k / q + kk) * norm;
      b1 = 2.0 * (kk - 1.0) * norm;
      b2 = (1.0 - boost * k / q + kk) * norm;
      a1 = b1;
      a2 = (1.0 - cut * k / q + kk) * norm;
      return;
    }
    case 6:
      // Low shelf: gain V below the corner; a cut swaps the numerator and denominator forms.
      if (gainDb >= 0.0) {
        const double norm = 1.0 / (1.0 + root2 * k + kk);
        b0 = (1.0 + root2v * k + v * kk) * norm;
        b1 = 2.0 * (v * kk - 1.0) * norm;
        b2 = (1.0 - root2v * k + v * kk) * norm;
        a1 = 2.0 * (kk - 1.0) * norm;
        a2 = (1.0 - root2 * k + kk) * norm;
      } else {
        const double norm = 1.0 / (1.0 + root2v * k + v * kk);
        b0 = (1.0 + root2 * k + kk) * norm;
        b1 = 2.0 * (kk - 1.0) * norm;
        b2 = (1.0 - root2 * k + kk) * norm;
        a1 = 2.0 * (v * kk - 1.0) * norm;
        a2 = (1.0 - root2v * k + v * kk) * norm;
      }
      return;
    case 7:
      // High shelf: gain V above the corner.
      if (gainDb >= 0.0) {
        const double norm = 1.0 / (1.0 + root2 * k + kk);
        b0 = (v + root2v * k + kk) * norm;
        b1 = 2.0 * (kk - v) * norm;
        b2 = (v - root2v * k + kk) * norm;
        a1 = 2.0 * (kk - 1.0) * norm;
        a2 = (1.0 - root2 * k + kk) * norm;
      } else {
        const double norm = 1.0 / (v + root2v * k + kk);
        b0 = (1.0 + root2 * k + kk) * norm;
        b1 = 2.0 * (kk - 1.0) * norm;
        b2 = (1.0 - root2 * k + kk) * norm;
        a1 = 2.0 * (kk - v) * norm;
        a2 = (v - root2v * k + kk) * norm;
      }
      return;
    case 8:
    case 9: {
      // Lead-lag: a zero at the lead frequency f1 over a pole at the lag frequency f2, with the
      // DC gain 1; the second order is the first squared.
      const double k2 = std::tan(std::numbers::pi * qOrF2);
      const double r = k2 / k;
      const double zero0 = (k + 1.0) * r / (k2 + 1.0);
      const double zero1 = (k - 1.0) * r / (k2 + 1.0);
      const double pole = (k2 - 1.0) / (k2 + 1.0);
      if (type == 8) {
        b0 = zero0;
        b1 = zero1;
        b2 = 0.0;
        a1 = pole;
        a2 = 0.0;
      } else {
        b0 = zero0 * zero0;
        b1 = 2.0 * r * r * (kk - 1.0) / ((k2 + 1.0) * (k2 + 1.0));
        b2 = zero1 * zero1;
        a1 = 2.0 * (k2 - 1.0) / (k2 + 1.0);
        a2 = pole * pole;
      }
      return;
    }
    default:
      return;
  }
}

void CBiquadDesigner::QuantizeCoefficients() {
  double* const coefficients[] = {&b0, &b1, &b2, &a1, &a2};
  double largest = 0.0;
  bool finite = true;
  for (const double* c : coefficients) {
    largest = std::max(largest, std::fabs(*c));
    finite = finite && std::isfinite(*c);
  }
  if (!finite) {
    b0 = kTwoTo31 / 2.0;
    b1 = b2 = a1 = a2 = 0.0;
    SF = 2.0;
    return;
  }
  // The exponent can only grow by one past ceil(log2 m): start below it and step up.
  int exponent = largest > 1.0 ? std::max(0, static_cast<int>(std::ceil(std::log2(largest))) - 1) : 0;
  const auto fits = [&](int e) {
    for (const double* c : coefficients) {
      const double quantised = std::floor(*c / std::ldexp(1.0, e) * kTwoTo31 + 0.5);
      if (quantised < -kTwoTo31 || quantised > kTwoTo31 - 1.0) return false;
    }
    return true;
  };
  while (!fits(exponent)) ++exponent;
  SF = std::ldexp(1.0, exponent);
  for (double* c : coefficients) *c = std::floor(*c / SF * kTwoTo31 + 0.5);
}

void CBiquadDesigner::CorrectDcGain() {
  const double unity = kTwoTo31 / SF;
  const auto whole = [](double c) { return static_cast<std::int64_t>(c); };
  const std::int64_t dcGain = whole(b0) + whole(b1) + whole(b2) - whole(a1) - whole(a2);
  if (static_cast<double>(dcGain) == unity) return;
  b0 = std::floor(unity - b1 - b2 + a1 + a2 + 0.5);
}

bool CBiquadDesigner::HasUnitDcGain(int type) { return type != 3 && type != 4; }

namespace {

constexpr std::array<const char*, 6> kSlotFields = {"B0", "B1", "B2", "A1", "A2", "SF"};

std::string SlotRegister(int slot, const char* field) { return "BQ" + std::to_string(slot) + field; }

// Slots 1 to `slots` as far as the setup holds them: up to the first slot without any of its
// registers, so that a MaxFilters beyond the drive's slots is never walked to its end.
int HeldSlots(const CMC_Setup* setup, int slots) {
  int held = 0;
  while (held < slots && std::any_of(kSlotFields.begin(), kSlotFields.end(), [&](const char* field) {
           return kestrel::HasParameter(setup, SlotRegister(held + 1, field));
         })) {
    ++held;
  }
  return held;
}

}  // namespace

int CBiquadDesigner::WriteFilterSlot(CMC_Setup* setup, int filter, int slot) {
  kestrel::RuleInputs in(setup);
  const double ts = in.Base("Ts_S");
  const int type = in.Code(Numbered("BQFilterType", filter));
  const double q = in.Base(Numbered("BQFilterQ", filter));
  const double f1 = in.Base(Numbered("BQFilterF1", filter));
  const bool leadLag = type == 8 || type == 9;
  const double lag = leadLag ? in.Base(Numbered("BQFilterF2", filter)) : 0.0;
  if (!in.Complete()) return 0;

  DesignFilter(type, f1 * ts, leadLag ? lag * ts : q, 0.0);
  QuantizeCoefficients();
  if (HasUnitDcGain(type)) CorrectDcGain();
  const std::array<double, kSlotFields.size()> values = {b0, b1, b2, a1, a2, SF};
  for (std::size_t i = 0; i < kSlotFields.size(); ++i) {
    setup->SetParameterValueInBaseUnit(SlotRegister(slot, kSlotFields[i]), values[i]);
  }
  return 1;
}

int CBiquadDesigner::WriteAllFilters(CMC_Setup* setup) {
  return WriteAllFilters(setup, kestrel::HostErrorReporter());
}

int CBiquadDesigner::WriteAllFilters(CMC_Setup* setup, const kestrel::ComputeReporter& reporter) {
  const int slots = kestrel::GetMaxFilters(setup);
  for (const char* count : kestrel::kFilterPlaceCounts) setup->SetParameterValueInBaseUnit(count, 0.0);
  std::array<int, 3> counts = {0, 0, 0};
  int slot = 1;
  for (int place = 0; place < static_cast<int>(counts.size()); ++place) {
    for (int filter = 1; filter <= kestrel::kUserFilterCount; ++filter) {
      const CMC_Parameter* on = kestrel::FindOptionalParameter(setup, Numbered("BQFilter", filter));
      const CMC_Parameter* location = kestrel::FindOptionalParameter(setup, Numbered("BQFilterLocation", filter));
      if (on == nullptr || location == nullptr || on->GetValueInBaseUnit() == 0.0 ||
          kestrel::TruncateToInt32(location->GetValueInBaseUnit()) != place) {
        continue;
      }
      if (slot > slots) {
        reporter.ReportError(kestrel::kFiltersDisabledMessage);
        return 0;
      }
      WriteFilterSlot(setup, filter, slot);
      ++counts[static_cast<std::size_t>(place)];
      ++slot;
    }
  }
  // The slots left over run no filter.
  const drivebase::ErrorReportingOff absentSlotsAreFine;
  for (const int held = HeldSlots(setup, slots); slot <= held; ++slot) {
    for (const char* field : kSlotFields) setup->SetParameterValueInBaseUnit(SlotRegister(slot, field), 0.0);
  }
  for (std::size_t place = 0; place < counts.size(); ++place) {
    setup->SetParameterValueInBaseUnit(kestrel::kFilterPlaceCounts[place], counts[place]);
  }
  return 1;
}

int CBiquadDesigner::WriteFiltersToDrive(CMC_Setup* setup) {
  std::vector<std::string> names(kestrel::kFilterPlaceCounts.begin(), kestrel::kFilterPlaceCounts.end());
  const int slots = HeldSlots(setup, kestrel::GetMaxFilters(setup));
  for (int slot = 1; slot <= slots; ++slot) {
    for (const char* field : kSlotFields) names.push_back(SlotRegister(slot, field));
  }
  int failed = 0;
  for (const std::string& name : names) {
    const CMC_Parameter* parameter = kestrel::FindOptionalParameter(setup, name);
    if (parameter != nullptr && !parameter->WriteToChip()) ++failed;
  }
  if (failed == 0) return 1;
  drivebase::ReportError(std::to_string(failed) + " filter registers could not be written to the drive: " +
                         CMC_Comm::GetLastErrorText());
  return 0;
}
