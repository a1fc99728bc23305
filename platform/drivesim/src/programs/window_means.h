// Means of a signal over consecutive windows of equal length, and whether the last two agree: a
// measurement is steady when its window means no longer drift. They agree within a tolerance
// relative to the mean plus four standard errors of their difference (from the scatter inside the
// windows), so that ADC noise does not hold a settled measurement back.
#pragma once

#include <algorithm>
#include <cmath>

namespace drivesim::programs {

class WindowMeans {
 public:
  explicit WindowMeans(int window = 1) : window_(window < 1 ? 1 : window) {}

  // Adds a sample; true when it closes a window.
  bool Add(double x) {
    sum_ += x;
    sumSquares_ += x * x;
    if (++count_ < window_) return false;
    previous_ = last_;
    const double mean = sum_ / count_;
    last_ = {mean, std::max(0.0, sumSquares_ / count_ - mean * mean), true};
    sum_ = sumSquares_ = 0.0;
    count_ = 0;
    return true;
  }

  // Whether the last two windows agree within `relative` of their mean (beyond the noise).
  bool Agree(double relative) const {
    if (!previous_.complete || !last_.complete) return false;
    const double noise = 4.0 * std::sqrt((previous_.variance + last_.variance) / window_);
    return std::abs(last_.mean - previous_.mean) <= relative * std::abs(last_.mean) + noise;
  }

 private:
  struct Window {
    double mean = 0.0, variance = 0.0;
    bool complete = false;
  };
  int window_;
  int count_ = 0;
  double sum_ = 0.0, sumSquares_ = 0.0;
  Window previous_, last_;
};

}  // namespace drivesim::programs
