// The two feedback inputs: which sensor sits on which (the setup's connectors), the registers
// that decode them, and their counters.
#include <algorithm>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

Status Drive::SetSetupOptions(const SetupOptions& o) {
  const auto connector = [](int c) { return c == 0 || c == 1; };
  if (!connector(o.motor_sensor_connector)) {
    return {"motor sensor connector " + std::to_string(o.motor_sensor_connector) + " is not a feedback input (0 or 1)"};
  }
  if (!connector(o.load_sensor_connector)) {
    return {"load sensor connector " + std::to_string(o.load_sensor_connector) + " is not a feedback input (0 or 1)"};
  }
  if (impl_->motor.load_sensor && o.motor_sensor_connector == o.load_sensor_connector) {
    return {"motor and load sensor cannot share feedback input " + std::to_string(o.load_sensor_connector)};
  }
  for (int fract : {o.sincos_fract, o.sincos_fract_ld}) {
    if (fract < 0 || fract > 20) return {"sin/cos interpolation " + std::to_string(fract) + " is outside 0 … 20"};
  }
  impl_->options = o;
  impl_->WireSensors();
  impl_->ConfigureReferenceInput();
  impl_->SampleSlowChannels();
  return {};
}

void Drive::Impl::WireSensors() {
  inputSensor = {};
  inputOnLoad = {};
  const auto wire = [this](const SensorModel& model, int connector, bool onLoad) {
    sensors::FeedbackSensor sensor;
    sensor.model = model;
    sensor.kind = motor.kind;
    sensor.resolver = scenario.resolver_signals;
    sensor.signalAmplitude = scenario.sensor_signal_amplitude;
    if (!onLoad) {
      sensor.electricalPerUnit = motor.kind == MotorKind::rotary ? motor.pole_pairs : kTwoPi / motor.pole_pitch_m;
    }
    inputSensor[static_cast<std::size_t>(connector)] = sensor;
    inputOnLoad[static_cast<std::size_t>(connector)] = onLoad;
  };
  if (motor.motor_sensor.type != SensorType::none) wire(motor.motor_sensor, options.motor_sensor_connector, false);
  if (motor.load_sensor) wire(*motor.load_sensor, options.load_sensor_connector, true);
  feedback = {};
  linearHallTrack = {};
  RefreshDecodeSettings();
}

void Drive::Impl::RefreshDecodeSettings() {
  for (std::size_t input = 0; input < 2; ++input) {
    sensors::DecodeSettings& d = decode[input];
    d.sincosFract = std::clamp(inputOnLoad[input] ? options.sincos_fract_ld : options.sincos_fract, 0, 20);
    d.dbtth = std::clamp(Register("DBTTH", 0), 0, 16);
    d.mecresl = Register("MECRESL", 0);
    d.ssiRev = Register("SSIREV", 0);
    d.ssiTurns = std::max(0, Register("SSITURNS", 0));
    d.ssiGray = Register("SSITYPE", 0) != 0;
    d.ssiSense = Register("SSISENSE", 1) < 0 ? -1 : 1;
    d.countingDirection = Register(input == 0 ? "COUNTINGDIR_MT" : "COUNTINGDIR_LD", 0);
    d.countsPerUnit.reset();
    if (inputSensor[input]) d.countsPerUnit = sensors::IncrementalCountsPerUnit(*inputSensor[input], d);
  }
  UpdateFeedbackInputs(plant.position);
}

double Drive::Impl::ResolverAmplitude(double demodulationPhase_rad) const {
  const auto input = static_cast<std::size_t>(options.motor_sensor_connector);
  if (!inputSensor[input] || inputSensor[input]->model.type != SensorType::resolver) return 0.0;
  const sensors::FeedbackSensor& sensor = *inputSensor[input];
  return sensors::DemodulationGain(sensor.resolver, sensor.signalAmplitude, demodulationPhase_rad);
}

void Drive::Impl::SetResolverDemodulationPhase(double demodulationPhase_rad) {
  decode[static_cast<std::size_t>(options.motor_sensor_connector)].demodulationPhase_rad = demodulationPhase_rad;
}

void Drive::Impl::UpdateFeedbackInputs(double previousPosition, double h_s) {
  const double ratio = plantParams.ratio;
  for (std::size_t input = 0; input < 2; ++input) {
    if (!inputSensor[input]) continue;
    // The motor's linear Halls count from their ADC channels (UpdateLinearHallCounter).
    if (!inputOnLoad[input] && inputSensor[input]->model.type == SensorType::linear_hall) continue;
    const double scale = inputOnLoad[input] ? 1.0 / ratio : 1.0;
    const sensors::EncoderState before = feedback[input].encoder;
    sensors::UpdateFeedbackInput(*inputSensor[input], decode[input], feedback[input], previousPosition * scale,
                                 plant.position * scale, h_s);
    if (!inputOnLoad[input]) KeepFaultyMotorSensor(before, feedback[input].encoder);
  }
}

}  // namespace drivesim
