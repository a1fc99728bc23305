// The drive's supervision of heat and sensor signals, at every slow tick:
//  - motor and drive I²t (PCR bits 1 and 7; II2TPROT_M/_D, SFI2T_M/_D, I2TINTLIM_M/_D) → 0x0200, 0x0400;
//  - over-temperature (PCR bit 2: the motor sensor above T1MAXPROT; bit 3: the heatsink sensor
//    above T2MAXPROT) → 0x0800. Both sensors give V = V_0°C + gain·T, read by the ADC over its
//    input range (the drive file's temperature sensor), noise-free and quantised;
//  - sensor error → 0x0004: a serial encoder whose frame (SSIREV + SSITURNS + 11 bits of start,
//    acknowledge, status and CRC at the serial clock / (SSIBR + 1)) does not end before the
//    current loop computes (AEI_CMPTIME·2^AEI_CLKDIV timer ticks; Ts_C while AEI_CMPTIME is 0); sin/cos
//    signals, or the resolver's demodulated vector, lost or outside 50 … 150 % of the nominal amplitude;
//  - linear Halls on the motor: a channel below 0.2 V or above 4.8 V (a wire off, an output at a
//    rail), or the calibrated vector below 25 % of the nominal 1.5 V amplitude (signals too weak or
//    a calibration that scales them away), for 10 ms → 0x0020, only recorded while the running
//    program drives the test frame.
#include <algorithm>
#include <cmath>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {
constexpr int kSerialFrameOverheadBits = 11;
constexpr double kMinSignalAmplitude = 0.5;
constexpr double kMaxSignalAmplitude = 1.5;
constexpr double kLinearHallLow_V = 0.2;
constexpr double kLinearHallHigh_V = 4.8;
constexpr double kLinearHallMissing_s = 0.010;
constexpr double kLinearHallNominal_V = 1.5;        // amplitude of each channel
constexpr double kLinearHallLeastVector = 0.25;     // of the nominal amplitude

// The first multiple of period at or after `from` (from ≥ 0).
std::int64_t NextMultiple(std::int64_t from, std::int64_t period) { return (from + period - 1) / period * period; }
}  // namespace

void Drive::SetSensorSignalAmplitude(double relative) {
  impl_->scenario.sensor_signal_amplitude = relative;
  for (auto& sensor : impl_->inputSensor) {
    if (sensor) sensor->signalAmplitude = relative;
  }
}

void Drive::Impl::RefreshSupervisionSettings() {
  const auto side = [this](const char* suffix) {
    const std::string s(suffix);
    return drive::I2tSettings{Register("II2TPROT" + s, 0), Register("SFI2T" + s, 0), Register("I2TINTLIM" + s, 0)};
  };
  supervision.motorI2t = side("_M");
  supervision.driveI2t = side("_D");
  supervision.motorTemperatureLimit = Register("T1MAXPROT", 65535);
  supervision.driveTemperatureLimit = Register("T2MAXPROT", 65535);
  supervision.serialReadFits = SerialReadFits();
}

bool Drive::Impl::SerialReadFits() const {
  const auto bitRateDivider = registers.find("SSIBR");
  if (bitRateDivider == registers.end()) return true;
  const double bits = Register("SSIREV", 0) + Register("SSITURNS", 0) + kSerialFrameOverheadBits;
  const double read_s = bits * (bitRateDivider->second + 1.0) / hardware.serial_clock_Hz;
  const std::int32_t compute = Register("AEI_CMPTIME", 0);  // 0: no serial-encoder timing programmed
  const double available_s = compute <= 0 ? timing.currentLoop_s()
                                          : compute * std::ldexp(1.0, Register("AEI_CLKDIV", 0)) / timing.clock_Hz;
  return read_s <= available_s;
}

std::int32_t Drive::Impl::TemperatureCounts(double celsius) const {
  const double volts = hardware.temperature_sensor_V_at_0C + hardware.temperature_sensor_V_per_C * celsius;
  const double counts = std::clamp(volts / hardware.temperature_adc_range_V, 0.0, 1.0) * hardware.AdcMax();
  const std::int32_t step = hardware.AdcStep();
  return static_cast<std::int32_t>(std::floor(counts / step)) * step;
}

bool Drive::Impl::SensorSignalsLost() const {
  for (std::size_t input = 0; input < 2; ++input) {
    if (!inputSensor[input]) continue;
    const SensorType type = inputSensor[input]->model.type;
    if ((type == SensorType::ssi || type == SensorType::biss) && !supervision.serialReadFits) return true;
    if (type != SensorType::resolver && type != SensorType::sincos) continue;
    double amplitude = scenario.sensor_signal_amplitude;
    if (type == SensorType::resolver) {
      // What the converter demodulates at the present angle.
      const double position = plant.position / (inputOnLoad[input] ? motor.TransmissionRatio() : 1.0);
      amplitude = sensors::SampleResolver(*inputSensor[input], decode[input], position).signals.Amplitude();
    }
    if (scenario.faults.encoder_dead && !inputOnLoad[input]) amplitude = 0.0;
    if (amplitude < kMinSignalAmplitude || amplitude > kMaxSignalAmplitude) return true;
  }
  return false;
}

// The conditions that do not depend on the current: temperatures and sensor signals.
void Drive::Impl::CheckStateProtections() {
  const std::int32_t pcr = protection.pcr;
  const bool motorHot = (pcr & Pcr::kMotorTemperature) != 0 &&
                        TemperatureCounts(scenario.motor_temperature_C) > supervision.motorTemperatureLimit;
  const bool driveHot = (pcr & Pcr::kDriveTemperature) != 0 &&
                        TemperatureCounts(scenario.drive_temperature_C) > supervision.driveTemperatureLimit;
  if (motorHot || driveHot) Trip(mer::kOverTemperature);
  if (SensorSignalsLost()) Trip(mer::kSensorError);
}

void Drive::Impl::CheckLinearHalls(std::int64_t samples) {
  if (motor.motor_sensor.type != SensorType::linear_hall) return;
  const double perVolt = linearHallAdc.countsPerUnit;
  const bool outside = std::any_of(linearHallCounts.begin(), linearHallCounts.end(), [&](std::int32_t counts) {
    return counts < kLinearHallLow_V * perVolt || counts > kLinearHallHigh_V * perVolt;
  });
  const bool weak = control::LinearHallAmplitude(linearHallCounts, angleRegisters.linearHalls) <
                    kLinearHallLeastVector * kLinearHallNominal_V * perVolt;
  linearHallRun = outside || weak ? linearHallRun + samples : 0;
  if (linearHallRun < static_cast<std::int64_t>(std::ceil(kLinearHallMissing_s / timing.speedLoop_s()))) return;
  if (program && program->DrivesTestFrame()) {
    latchedErrors |= mer::kHallMissing;
    return;
  }
  Trip(mer::kHallMissing);
}

void Drive::Impl::CheckSupervision() {
  const control::TwoAxis ab = control::Clarke(phaseCurrentCounts[0], phaseCurrentCounts[1]);
  const std::int64_t currentSquared = std::int64_t{ab.x} * ab.x + std::int64_t{ab.y} * ab.y;
  const bool motorTrip = motorI2t.Step(supervision.motorI2t, currentSquared);
  const bool driveTrip = driveI2t.Step(supervision.driveI2t, currentSquared);
  if (motorTrip && (protection.pcr & Pcr::kMotorI2t) != 0) Trip(mer::kMotorI2t);
  if (driveTrip && (protection.pcr & Pcr::kDriveI2t) != 0) Trip(mer::kDriveI2t);
  CheckStateProtections();
  CheckLinearHalls(1);
}

// An idle drive samples nothing, but what its protections watch still holds over the skipped
// ticks: the I²t integrators cool, and the bus voltage, temperature, sensor and Hall conditions latch.
void Drive::Impl::SuperviseIdle(std::int64_t from, std::int64_t to) {
  const auto ticksOf = [&](std::int64_t period) {
    return (NextMultiple(to, period) - NextMultiple(from, period)) / period;
  };
  for (std::int64_t k = 0; k < std::min<std::int64_t>(ticksOf(timing.currentLoopTicks), 3); ++k) CheckHallMissing();
  const std::int64_t slowTicks = ticksOf(timing.speedLoopTicks);
  if (slowTicks <= 0) return;
  motorI2t.Cool(supervision.motorI2t, slowTicks);
  driveI2t.Cool(supervision.driveI2t, slowTicks);
  CheckBusVoltage();
  CheckStateProtections();
  CheckLinearHalls(slowTicks);
}

}  // namespace drivesim
