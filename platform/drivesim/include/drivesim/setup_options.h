// Setup options that a drive holds in its configuration rather than in the downloaded
// registers: which feedback input each sensor is wired to, the sin/cos interpolation and the
// range of the analogue reference input.
#pragma once

namespace drivesim {

struct SetupOptions {
  int motor_sensor_connector = 0;        // MotorSensorConnector: feedback input 0 or 1
  int load_sensor_connector = 1;         // LoadSensorConnector
  int sincos_fract = 0;                  // SINCOS_fract: 2^k steps per quarter period (motor sensor)
  int sincos_fract_ld = 0;               // SINCOS_fract_LD (load sensor)
  double analogue_inputs_range_V = 20.0; // AnalogueInputsRange: 20 (−10 … 10 V), 5 (0 … 5 V), else 0 … 3.3 V
};

}  // namespace drivesim
