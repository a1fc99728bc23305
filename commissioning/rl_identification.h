// The arithmetic of the resistance and inductance identification: the mean of a logged variable,
// the DC bus voltage from the bus reading, and R and L from the measured voltages and currents.
// Voltages and currents are in the drive's internal units; KI and KU are the current and voltage
// scales (internal units per ampere and per volt).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kestrel {

// The mean of the values of a logged variable as they are uploaded: the first point only starts
// it, then point n = 1, 2, ... makes it ((n - 1) * mean + x) / n. With one point the mean is that
// point; with more, the mean of all points but the first.
class LoggedMean {
 public:
  void Add(double value);
  double Value() const { return mean_; }
  std::size_t Points() const { return points_; }

 private:
  double mean_ = 0.0;
  std::size_t points_ = 0;
};

// The DC bus voltage: VdcMaxMeasurable × the bus reading / the ADC full-scale count.
double MeasuredBusVoltage_V(double vdcMaxMeasurable_V, double busReading, double adcFullScale);

// R = ((U1 − U2) / (I1 − I2)) / KU × KI, from the two direct-current runs.
double PhaseResistance_Ohm(double u1, double u2, double i1, double i2, double ku, double ki);

// ω = angleIncrement × 2π / (Ts × 65535) of a voltage vector turning by angleIncrement (65535 a
// turn) every current-loop period Ts; L = (mean ID × Ua) / (ω × mean(ID² + IQ²)) × KI / KU.
double PhaseInductance_H(double meanId, double ua, double angleIncrement, double currentLoopPeriod_s,
                         double meanSquaredCurrent, double ki, double ku);

// Texts of the identification's failures.
inline constexpr const char* kCurrentTooLowText =
    "You have problems with the current measurement or the measured current is too low.\r\nPlease increase the "
    "test current.";
inline constexpr const char* kInductanceTooLowText =
    "The computed inductivity is less than the possible minimum value of 50 µH.";
inline constexpr const char* kInductanceTooHighText =
    "The computed inductivity is greater than the possible maximum value of 1 H.";
inline constexpr double kMinimumInductance_H = 50e-6;
inline constexpr double kMaximumInductance_H = 1.0;

// Why a measurement cannot give R: the two runs' currents do not differ upwards, or R is not
// positive (a wrong measurement). None when R is usable.
std::optional<std::string> ResistanceFault(double i1, double i2, double r_Ohm);
// Why a measurement cannot give L: no current, no rotation, L not positive, or L outside 50 µH … 1 H.
std::optional<std::string> InductanceFault(double meanSquaredCurrent, double angleIncrement, double l_H);

}  // namespace kestrel
