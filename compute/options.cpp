#include "compute/options.h"

#include <string>

#include "compute/setup_access.h"

namespace {

using kestrel::FindOptionalParameter;

// A code read without reporting; 0 when the parameter is missing.
int Code(const CMC_Setup* setup, std::string_view name) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? kestrel::TruncateToInt32(parameter->GetValueInBaseUnit()) : 0;
}

const char* Flag(bool on) { return on ? "1" : "0"; }

struct ClosedLoops {
  bool position;
  bool speed;
};

// Which loops a control mode closes; false when the mode has none.
bool LoopsOf(int controlMode, int positionControlType, ClosedLoops& loops) {
  switch (controlMode) {
    case 0:
      if (positionControlType != 0 && positionControlType != 1) return false;
      loops = {true, positionControlType == 1};
      return true;
    case 1:
      loops = {false, true};
      return true;
    case 2:
      loops = {false, false};
      return true;
    default:
      return false;
  }
}

std::string SensorPlace(const CMC_Setup* setup, int sensorType, int connector) {
  if (sensorType == 0) return {};
  return setup->GetSensorName(sensorType) + " on " + setup->GetFeedbackName(connector);
}

const char* ReferenceNameOf(int sensorType, bool rotary) {
  switch (sensorType) {
    case 1:
    case 9:
      return rotary ? "KSTA" : "KSTB";
    case 2:
      return rotary ? "KSTC" : "KSTD";
    case 3:
      return rotary ? "KSTE" : "KSTB";
    default:
      return nullptr;
  }
}

}  // namespace

int ComputeOptions(CMC_Setup* setup) {
  const int controlMode = Code(setup, "ControlMode");
  const int motorConnector = Code(setup, "MotorSensorConnector");
  const int motorSensor = Code(setup, "MotorSensorType");
  const int loadConnector = Code(setup, "LoadSensorConnector");
  const int loadSensor = Code(setup, "LoadSensorType");

  setup->SetOption("IsStepMotor", "0");
  setup->SetOption("IsStepperOpenLoop", "0");
  setup->SetOption("isPositionFeedbackOnLoad", Flag(motorSensor == 0 && loadSensor != 0));
  setup->SetOption("isPositionFeedbackOnMotor", Flag(motorSensor != 0));
  setup->SetOption("isSpeedFeedback", "0");
  setup->SetOption("isIndex", "1");

  ClosedLoops loops{};
  if (!LoopsOf(controlMode, Code(setup, "PositionControlType"), loops)) return 0;
  setup->SetOption("IsClosedPosition", Flag(loops.position));
  setup->SetOption("IsClosedSpeed", Flag(loops.speed));
  setup->SetOption("IsClosedCurrent", "1");

  setup->SetOption("MotorPosition", SensorPlace(setup, motorSensor, motorConnector));
  setup->SetOption("LoadPosition", SensorPlace(setup, loadSensor, loadConnector));
  setup->SetOption("MotorSpeed", "");

  return SetReferenceName(setup) == 1 && SetMotorTypeOption(setup) == 1 ? 1 : 0;
}

int SetReferenceName(CMC_Setup* setup) {
  const int motorSensor = Code(setup, "MotorSensorType");
  const int transmission = Code(setup, "TransmissionType");
  const bool motorDecides = motorSensor != 0;
  const int sensor = motorDecides ? motorSensor : Code(setup, "LoadSensorType");
  const bool rotary = motorDecides ? kestrel::IsMotorSideRotary(transmission)
                                   : kestrel::IsLoadSideRotary(transmission);
  const char* name = ReferenceNameOf(sensor, rotary);
  if (name == nullptr) return 0;
  setup->SetOption("ReferenceName", name);
  return 1;
}

int SetMotorTypeOption(CMC_Setup* setup) {
  const int transmission = Code(setup, "TransmissionType");
  setup->SetOption("MotorType", kestrel::IsMotorSideRotary(transmission) ? "Brushless, Rotary"
                                                                          : "Brushless, Linear");
  return 1;
}

int ForceSpeedFeedForward(CMC_Setup* setup) {
  CMC_Parameter* speedForward = FindOptionalParameter(setup, "SpeedForward");
  CMC_Parameter* acr = FindOptionalParameter(setup, "ACR");
  if (speedForward == nullptr || acr == nullptr || !kestrel::HasParameter(setup, "ControlMode") ||
      !kestrel::HasParameter(setup, "PositionControlType")) {
    return 0;
  }
  if (Code(setup, "ControlMode") == 0 && Code(setup, "PositionControlType") == 1) return 1;
  speedForward->SetValueInInternalUnit(1.0);
  acr->SetValueInBaseUnit(kestrel::TruncateToInt32(acr->GetValueInBaseUnit()) | 0x4000);
  return 1;
}
