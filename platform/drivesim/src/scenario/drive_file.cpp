// The drive file (the true power stage) and the power stage a setup describes.
#include <cmath>

#include "drivesim/hardware.h"
#include "scenario/object_reader.h"

namespace drivesim {

std::uint32_t DriveHardware::AdcMax() const {
  return ((1u << adc_bits) - 1u) << (16 - adc_bits);
}

std::int32_t DriveHardware::AdcStep() const { return 65536 >> adc_bits; }

std::optional<int> AdcBitsFromFullScale(std::uint32_t adcMax) {
  for (int bits = 8; bits <= 16; ++bits) {
    if ((((1u << bits) - 1u) << (16 - bits)) == adcMax) return bits;
  }
  return std::nullopt;
}

namespace {
constexpr const char* kSetupSource = "setup";

// The regenerating bus: a capacitor, and behind it optionally the supply diode and the brake
// chopper, which mean nothing on a stiff bus.
void ReadBus(files::ObjectReader& reader, DriveHardware& hw) {
  if (reader.Has("bus_capacitor_F")) hw.bus_capacitor_F = reader.Positive("bus_capacitor_F", std::nullopt);
  hw.supply_diode = reader.Boolean("supply_diode", false);
  if (reader.Has("brake_resistor_ohm")) hw.brake_resistor_ohm = reader.Positive("brake_resistor_ohm", std::nullopt);
  if (hw.bus_capacitor_F) {
    if (!(hw.supply_resistance_ohm > 0.0)) reader.Fail("supply_resistance_ohm", "must be positive with bus_capacitor_F");
    return;
  }
  if (hw.supply_diode) reader.Fail("supply_diode", "needs bus_capacitor_F");
  if (hw.brake_resistor_ohm) reader.Fail("brake_resistor_ohm", "needs bus_capacitor_F");
}
}  // namespace

DriveHardware HardwareFromSetup(double dspFreq_Hz, std::uint32_t adcMax, double imaxPs_A,
                                double vdcMaxMeasurable_V) {
  DriveHardware hw;
  const std::optional<int> bits = AdcBitsFromFullScale(adcMax);
  if (!bits) {
    throw ModelFileError(kSetupSource, "Compute_ADCMaxValue",
                         std::to_string(adcMax) + " is the full scale of no ADC resolution");
  }
  const auto positive = [](const char* key, double value) {
    if (!(value > 0.0) || !std::isfinite(value)) {
      throw ModelFileError(kSetupSource, key, "must be positive");
    }
  };
  positive("DSP_freq", dspFreq_Hz);
  positive("ImaxPS", imaxPs_A);
  positive("VdcMaxMeasurable", vdcMaxMeasurable_V);
  hw.adc_bits = *bits;
  hw.timer_clock_Hz = dspFreq_Hz;
  hw.imax_ps_A = imaxPs_A;
  hw.short_circuit_A = 1.1 * imaxPs_A;
  hw.vdc_max_measurable_V = vdcMaxMeasurable_V;
  return hw;
}

DriveHardware ParseDriveFile(std::string_view text, const std::string& source) {
  const nlohmann::json root = files::ParseObject(text, source);
  files::ObjectReader reader(root, source, "");
  reader.Integer("kestrel_drive", std::nullopt, 1, 1);
  reader.Text("name", std::string());
  DriveHardware hw;
  hw.timer_clock_Hz = reader.Positive("timer_clock_Hz", hw.timer_clock_Hz);
  hw.adc_bits = static_cast<int>(reader.Integer("adc_bits", hw.adc_bits, 8, 16));
  hw.adc_noise_lsb = reader.NonNegative("adc_noise_lsb", hw.adc_noise_lsb);
  hw.imax_ps_A = reader.Positive("imax_ps_A", hw.imax_ps_A);
  hw.short_circuit_A = reader.Positive("short_circuit_A", 1.1 * hw.imax_ps_A);
  hw.vdc_max_measurable_V = reader.Positive("vdc_max_measurable_V", hw.vdc_max_measurable_V);
  hw.supply_resistance_ohm = reader.NonNegative("supply_resistance_ohm", hw.supply_resistance_ohm);
  ReadBus(reader, hw);
  hw.switch_delay_s = reader.NonNegative("switch_delay_s", hw.switch_delay_s);
  hw.log_buffer_words =
      static_cast<int>(reader.Integer("log_buffer_words", hw.log_buffer_words, 16, 1 << 24));
  hw.link_latency_s = reader.Positive("link_latency_s", hw.link_latency_s);
  hw.serial_clock_Hz = reader.Positive("serial_clock_Hz", hw.serial_clock_Hz);
  hw.temperature_sensor_V_at_0C = reader.NonNegative("temperature_sensor_V_at_0C", hw.temperature_sensor_V_at_0C);
  hw.temperature_sensor_V_per_C = reader.Positive("temperature_sensor_V_per_C", hw.temperature_sensor_V_per_C);
  hw.temperature_adc_range_V = reader.Positive("temperature_adc_range_V", hw.temperature_adc_range_V);
  reader.RejectUnknownKeys();
  return hw;
}

DriveHardware LoadDriveFile(const std::string& path) {
  return ParseDriveFile(files::ReadWholeFile(path), path);
}

}  // namespace drivesim
