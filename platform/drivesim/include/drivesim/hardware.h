// The true power stage of a simulated drive: what the hardware is, whatever the setup says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "drivesim/file_error.h"

namespace drivesim {

// Link latency of a serial round trip, the default of every drive.
inline constexpr double kDefaultLinkLatency_s = 0.001;

// Timer, ADCs, current and voltage ranges and link of one drive (the drive file's keys).
struct DriveHardware {
  double timer_clock_Hz = 40e6;            // PWM timer clock f_clk
  int adc_bits = 10;                       // ADC resolution; step = 65536 >> bits
  double adc_noise_lsb = 1.0;              // noise of the bus, reference and linear Hall channels, in ADC steps
  double imax_ps_A = 10.0;                 // current at ±ADCmax/2 of the current ADCs
  double short_circuit_A = 11.0;           // trip level of the hardware short-circuit comparator
  double vdc_max_measurable_V = 87.0;      // full scale of the bus voltage channel
  double supply_resistance_ohm = 0.1;      // internal resistance of the DC supply
  std::optional<double> bus_capacitor_F;   // none: a stiff bus behind R_s
  bool supply_diode = false;               // rectifier: the supply cannot take regenerated current
  std::optional<double> brake_resistor_ohm;  // brake chopper load (switched by BRAKELIM, OSR bit 9)
  double switch_delay_s = 0.0;             // switching asymmetry added to the dead time
  int log_buffer_words = 16384;            // logger memory in 16-bit words
  double link_latency_s = kDefaultLinkLatency_s;  // answer delay of every link transaction
  double serial_clock_Hz = 60e6;           // clock of the serial-encoder interface (bit rate = clock/(SSIBR + 1))
  double temperature_sensor_V_at_0C = 0.5;  // heatsink and motor temperature sensors: V = V_0 + gain·T
  double temperature_sensor_V_per_C = 0.01;
  double temperature_adc_range_V = 3.3;    // input range of the ADC that reads them

  // ADC full-scale count: (2^bits − 1)·2^(16 − bits), 65472 for 10 bits.
  std::uint32_t AdcMax() const;
  // Size of one ADC step in counts: 65536 >> bits.
  std::int32_t AdcStep() const;
};

// The ADC resolution whose full scale is adcMax ((2^b − 1)·2^(16 − b)); nullopt when none is.
std::optional<int> AdcBitsFromFullScale(std::uint32_t adcMax);

// The power stage a setup describes: timer clock DSP_freq, ADC full scale Compute_ADCMaxValue,
// ImaxPS and VdcMaxMeasurable; the rest keeps the reference drive's values. Throws
// DriveFileError when the ADC full scale matches no resolution or a value is not positive.
DriveHardware HardwareFromSetup(double dspFreq_Hz, std::uint32_t adcMax, double imaxPs_A,
                                double vdcMaxMeasurable_V);

// Parses a drive file's text (JSON); `source` names it in errors. Throws DriveFileError.
DriveHardware ParseDriveFile(std::string_view text, const std::string& source);
// Reads and parses a drive file. Throws DriveFileError naming the file.
DriveHardware LoadDriveFile(const std::string& path);

}  // namespace drivesim
