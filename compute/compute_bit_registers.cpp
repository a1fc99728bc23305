#include <cstdint>

#include "compute/derivation_rule.h"
#include "compute/option_readers.h"
#include "compute/registers.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

using Bits = std::int64_t;

Bits SetBits(Bits value, Bits mask, bool on) { return on ? value | mask : value & ~mask; }

Bits Field(RuleInputs& in, const char* name) { return TruncateToInt64(in.Base(name)); }

bool Write(CMC_Parameter* target, Bits value) {
  target->SetValueInBaseUnit(static_cast<double>(value));
  return true;
}

bool IsIncremental(int sensorType) { return sensorType == 1 || sensorType == 9; }

// A flag stored as its internal value (a flag parameter of the drive) is on when that reads 1.
bool InternalIsOne(RuleInputs& in, const char* name) { return TruncateToInt64(in.Internal(name)) == 1; }

// The start method in OSR bits 2-4: 4 aligns on the motor's phases, 8 starts on the Hall
// sensors, 20 and 28 start under the angle controller (with an encoder, or with a sensor that
// knows its angle from the start).
Bits StartMethod(int startMode, int sensor, bool halls, bool angleController, bool startWithHalls) {
  switch (startMode) {
    case 1: return halls ? 8 : 4;
    case 2: return (IsEncoderType(sensor) && angleController) ? 20 : 4;
    case 3: return (halls && startWithHalls) ? 8 : 4;
    case 4: return ((sensor == 2 || sensor == 4 || sensor == 5 || sensor == 6) && angleController) ? 28 : 4;
    default: return 4;
  }
}

}  // namespace

bool ComputeOSR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("OSR");
  Bits osr = Field(in, "OSR");
  const bool brakeResistor = in.Code("isBrakeResistor") == 1;
  const int startMode = in.Code("StartMode");
  const int motorSensor = in.Code("MotorSensorType");
  const int loadSensor = in.Code("LoadSensorType");
  const int sensor = motorSensor != 0 ? motorSensor : loadSensor;
  const bool halls = IsIncremental(sensor) && in.Code("isHallsensors") != 0;
  if (!in.Complete()) return false;
  osr = SetBits(osr, 0x200, brakeResistor) & ~Bits{0x1C};
  osr |= StartMethod(startMode, sensor, halls, HasParameter(setup, "KPTHT"), IsPMSMStartwithHalls(setup) == 1);
  return Write(target, SetBits(osr, 0x1000, loadSensor != 0));
}

bool ComputeASR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ASR");
  Bits asr = Field(in, "ASR");
  if (!in.Complete()) return false;
  if (HasParameter(setup, "isSWLS")) asr = SetBits(asr, 0x1000, in.Code("isSWLS") == 1);
  if (HasParameter(setup, "InputsPolarityType")) asr = SetBits(asr, 0x4, in.Code("InputsPolarityType") != 1);
  // Bit 7: the drive reverses the reference for a transmission that turns the load backwards.
  bool reversing = false;
  if (HasNegTransmission(setup) == 1) {
    reversing = in.Base("Motor_transmission") / in.Base("Load_transmission") < 0.0;
  }
  return in.Complete() && Write(target, SetBits(asr, 0x80, reversing));
}

bool ComputePCR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("PCR");
  const Bits pcr = Field(in, "PCR");
  struct Protection {
    const char* flag;
    Bits bit;
  };
  static constexpr Protection kProtections[] = {
      {"isDriveI2t", 0x80},      {"isUnderVoltage", 0x20}, {"isOverVoltage", 0x10},
      {"isDriveOverTemp", 0x08}, {"isMotorOverTemp", 0x04}, {"isMotorI2t", 0x02},
      {"isOverCurrent", 0x01},
  };
  Bits low = 0;
  for (const Protection& p : kProtections) {
    if (in.Code(p.flag) == 1) low |= p.bit;
  }
  // The broken-wire check watches the encoder through the Hall sensors beside it.
  if (GetIntOptionSilently(setup, "hasEncoderBrokenWireProtection") != 0) {
    const bool halls = in.Code("isHallsensors") == 1;
    if (IsIncremental(in.Code("MotorSensorType")) && halls) low |= 0x40;
  }
  return in.Complete() && Write(target, (pcr & ~Bits{0xFF}) | low);
}

namespace {

// ACR bits 2, 6 and 7: the source of the external reference. Bit 6 an analogue or a
// load-encoder reference (bit 2 kept); bit 7 pulse and direction in position mode, bit 2 then
// marking the reference type 0.
Bits ReferenceBits(RuleInputs& in, Bits acr, int controlMode) {
  if (in.Code("ExternalReference") != 1) return acr & ~Bits{0xC0};
  if (in.Code("isAnalogueReference") == 1 || in.Code("LoadSensorType") != 0 || controlMode != 0) {
    return (acr | 0x40) & ~Bits{0x80};
  }
  acr = (acr & ~Bits{0xC4}) | 0x80;
  return in.Code("DigitalReferenceType") == 0 ? acr | 0x04 : acr;
}

}  // namespace

bool ComputeACR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ACR");
  Bits acr = Field(in, "ACR");
  const int mode = in.Code("ControlMode");
  if (!in.Complete() || mode < 0 || mode > 2) return false;
  acr = SetBits(acr, 0x2, in.Code("isAutoActivatedAfterPowerOn") == 1);
  acr = ReferenceBits(in, acr, mode);
  // Bits 8-10: the loops that close. Position mode adds bit 9 for a position loop over speed.
  acr &= ~Bits{0x700};
  if (mode == 0) acr |= in.Code("PositionControlType") == 1 ? 0x700 : 0x500;
  if (mode == 1) acr |= 0x300;
  if (mode == 2) acr |= 0x100;
  acr = SetBits(acr, 0x4000, HasParameter(setup, "SpeedForward") && InternalIsOne(in, "SpeedForward"));
  if (HasParameter(setup, "POSOKLIM_FC") && HasParameter(setup, "TONPOSOK_FC")) {
    acr = SetBits(acr, 0x10, InternalIsOne(in, "isFreezeControl"));
  }
  if (IsPMSMStartwithHalls(setup) == 1) acr = SetBits(acr, 0x8000, TruncateToInt64(in.Internal("StartMode")) == 3);
  return in.Complete() && Write(target, acr);
}

int SingleSensorCode(int sensorType) {
  static constexpr int kCodes[] = {7, 0, 4, 2, 1, 3, 5, 0x202, 0x206, 0x17};
  return sensorType >= 0 && sensorType <= 9 ? kCodes[sensorType] : -1;
}

int DualLoopMotorCode(int sensorType) {
  static constexpr int kCodes[] = {0x40, 0x60, 0x50, 0x48, 0x58, 0x68, 0x70, 0x78, 0x10};
  return sensorType >= 1 && sensorType <= 9 ? kCodes[sensorType - 1] : -1;
}

int DualLoopLoadCode(int sensorType) {
  static constexpr int kCodes[] = {0, 4, 2, 1, 3, 5, 0x205, 0x206};
  return sensorType >= 1 && sensorType <= 8 ? kCodes[sensorType - 1] : -1;
}

namespace {

Bits CodeOrNothing(int code) { return code < 0 ? 0 : code; }

// The feedback part of SCR: the sensor codes and the inputs they sit on.
Bits SensorBits(const CMC_Setup* setup, RuleInputs& in) {
  const int motorSensor = in.Code("MotorSensorType");
  const int loadSensor = in.Code("LoadSensorType");
  const bool motorOnSecond = in.Code("MotorSensorConnector") == 1;
  const bool loadOnSecond = in.Code("LoadSensorConnector") == 1;
  if (motorSensor != 0 && loadSensor != 0) {
    return CodeOrNothing(DualLoopMotorCode(motorSensor)) | CodeOrNothing(DualLoopLoadCode(loadSensor)) |
           (motorOnSecond ? 0x800 : 0) | (loadOnSecond ? 0x400 : 0);
  }
  const bool onMotor = motorSensor != 0;
  const int sensor = onMotor ? motorSensor : loadSensor;
  Bits bits = CodeOrNothing(SingleSensorCode(sensor));
  // An incremental encoder may estimate the speed between its edges.
  if (sensor == 1 && HasParameter(setup, "isSpeedEstimator") && in.Code("isSpeedEstimator") == 1) bits += 0x30;
  if (onMotor ? motorOnSecond : loadOnSecond) bits |= 0x400;
  return bits;
}

}  // namespace

bool ComputeSCR(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SCR");
  Bits scr = 0;
  if (in.Code("CommutationMethod") == 1) scr |= 0x2000;
  if (in.Code("isMotorTemperatureSensor") == 1) scr |= 0x80;
  if (in.Code("isDriveTemperatureSensor") == 1) scr |= 0x100;
  if (in.Code("DigitalReferenceConnector") == 1) scr |= 0x8000;
  scr |= SensorBits(setup, in);
  return in.Complete() && Write(target, scr);
}

bool ComputeUPGRADE(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("UPGRADE");
  Bits upgrade = Field(in, "UPGRADE") & ~Bits{0x8000};
  upgrade = SetBits(upgrade, 0x4, in.Code("isLimitMaximum") == 1);
  // Bit 6 closes the position and speed loops in the fast loop, for an incremental encoder.
  if (HasParameter(setup, "PosSpd_in_FastLoop")) {
    const int loadSensor = in.Code("LoadSensorType");
    const int sensor = loadSensor != 0 ? loadSensor : in.Code("MotorSensorType");
    upgrade = SetBits(upgrade, 0x40, in.Code("PosSpd_in_FastLoop") == 1 && sensor == 1);
  }
  return in.Complete() && Write(target, upgrade);
}

bool ComputeDIGIN_ACTIVE_LEVEL(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("DIGIN_ACTIVE_LEVEL");
  Bits level = Field(in, "DIGIN_ACTIVE_LEVEL");
  level = SetBits(level, 0x8000, in.Code("EnablePolarity") == 1);
  level = SetBits(level, 0x4000, in.Code("LSNPolarity") == 1);
  level = SetBits(level, 0x2000, in.Code("LSPPolarity") == 1);
  return in.Complete() && Write(target, level);
}

}  // namespace kestrel
