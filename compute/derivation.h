// Register-to-parameter derivation: every user-level parameter (ControlMode, Kp_C_scl,
// ERR_position, isOverVoltage, ...) recomputed from the drive registers (ACR, SCR, KPI, ERRMAX,
// ...), so that the user layer shows what the registers will make the drive do.
//
// Each routine derives one target: it takes the setup and returns 1 or, when a parameter it
// needs is missing or its new limits would be crossed, 0 with its target's value unchanged.
// Register bits are those of the value truncated to 32 bits; flags take 0.0 and 1.0 and the
// limits 0 to 1. Ts_S, Ts_C, Kv, Ki, Kdc, Kp, Ks, Ka are the scale functions.
#pragma once

#include <string>

#include "drivebase/setup.h"

// Every routine below in the drive's call order, groups of optional features only when their
// parameters exist (probed silently). Results are ignored: a missing register leaves only its
// own targets stale.
void DeriveParametersFromRegisters(CMC_Setup* setup);

namespace kestrel {

// --- Sensors and connectors (derive_sensors.cpp)

// SCR sensor field codes: bits 0, 1, 2, 9 (the single sensor, or the load sensor in dual loop)
// and bits 3 to 6 (the motor sensor in dual loop); 0 for a field value without a sensor.
int SensorCodeOfLowField(int scr);
int SensorCodeOfDualLoopField(int scr);

int DeriveMotorSensorType(CMC_Setup* setup);
int DeriveLoadSensorType(CMC_Setup* setup);
int DeriveMotorSensorConnector(CMC_Setup* setup);
int DeriveLoadSensorConnector(CMC_Setup* setup);
int DeriveDigitalReferenceConnector(CMC_Setup* setup);

// A list of feedback inputs to choose from (the External Reference dialog's combo box).
class ConnectorList {
 public:
  virtual ~ConnectorList() = default;
  virtual void Add(const std::string& name, int connector) = 0;
  virtual void Select(int connector) = 0;
};

// The feedback inputs that can read a digital reference (they accept an incremental encoder,
// code 1 or 9) and are not taken by the motor or the load sensor. With a list each is offered
// and the present DigitalReferenceConnector selected; when it is not among them the last one
// is taken. noneFree is 1 when there is none, and then isAnalogueReference is forced to 1.
int FillDigitalReferenceConnectors(CMC_Setup* setup, ConnectorList* list, int& noneFree);

int DeriveReverseCountingMotor(CMC_Setup* setup);  // ReverseCounting_MT
int DeriveReverseCountingLoad(CMC_Setup* setup);   // ReverseCounting_LD
int DeriveEncoderFilterMotor(CMC_Setup* setup);    // isFilterEnc_MT
int DeriveEncoderFilterLoad(CMC_Setup* setup);     // isFilterEnc_LD
int DeriveLinearHallResolution(CMC_Setup* setup);      // LHResolution
int DeriveLinearHallResolutionLoad(CMC_Setup* setup);  // LHResolution_LD

// Absolute encoders: the motor set, or the load set with "_LD" appended to each name; both
// read the same registers.
enum class EncoderSide { kMotor, kLoad };
int DeriveMultiTurn(CMC_Setup* setup, EncoderSide side);         // SSI_isMultiTurn
int DeriveRevolutionBits(CMC_Setup* setup, EncoderSide side);    // SSI_No_Bits_Revolution
int DeriveTurnBits(CMC_Setup* setup, EncoderSide side);          // SSI_No_Bits_Turns
int DeriveGrayCode(CMC_Setup* setup, EncoderSide side);          // SSI_isGray
int DeriveSerialClock(CMC_Setup* setup, EncoderSide side);       // SSI_freq
int DeriveReverseSerial(CMC_Setup* setup, EncoderSide side);     // SSI_isReverseCounting
int DeriveSerialEncoderOffset(CMC_Setup* setup);                 // SSI_Offset

// --- Drive, motor, timing and choices (derive_drive.cpp)

// A flag from one register bit (inverted: set when the bit is clear).
int DeriveFlag(CMC_Setup* setup, const char* target, const char* reg, int bit, bool inverted = false);
// A flag that is 0 when the register holds the value, else 1.
int DeriveFlagUnless(CMC_Setup* setup, const char* target, const char* reg, double off);

int DerivePolePairs(CMC_Setup* setup);               // pp
int DeriveEncoderLines(CMC_Setup* setup);            // No_encoder_lines
int DeriveMotorTemperatureSensorType(CMC_Setup* setup);  // Motor_TempSensor_Type
int DerivePwmFrequency(CMC_Setup* setup);            // PWM_freq
int DerivePwmPeriod(CMC_Setup* setup);               // PWMperiod
int DeriveLoopPeriod(CMC_Setup* setup, const char* target, const char* divider);  // Ts_C, Ts_S
int DeriveFastLoopControl(CMC_Setup* setup);         // PosSpd_in_FastLoop
int DeriveProtectionVoltage(CMC_Setup* setup, const char* target, const char* reg);  // UMAX_PROT, UMIN_PROT
int DeriveBrakeVoltage(CMC_Setup* setup);            // Vbrake
int DeriveDriveTemperatureLimit(CMC_Setup* setup);   // Temp_2
int DeriveControlMode(CMC_Setup* setup);
int DeriveExternalReference(CMC_Setup* setup);
int DeriveAxisId(CMC_Setup* setup);                  // Axis_ID_list
int DeriveStartMode(CMC_Setup* setup);
int DeriveStartCurrent(CMC_Setup* setup, const char* target);  // StartCurrent, TestStartCurrent
int DeriveAlignmentTime(CMC_Setup* setup);           // time_AB
int DeriveRiseTime(CMC_Setup* setup);                // rise_time_AB
int DeriveAnalogueReferenceChoice(CMC_Setup* setup); // isAnalogueReference
int DeriveLoadRatio(CMC_Setup* setup, const char* target, const char* total, const char* own);  // Jload_over_J, Mload_over_M
int DeriveMotorOverTemperature(CMC_Setup* setup);    // isMotorOverTemp
int DeriveSpeedForward(CMC_Setup* setup);            // SpeedForward
int DeriveMotorBrake(CMC_Setup* setup);              // isMotorBrake
int DeriveMotorBrakeOutput(CMC_Setup* setup);        // MotorBrake_output
int DeriveBrakeDelay(CMC_Setup* setup, const char* target, const char* reg);  // MotorBrake_releasetime, _applytime
int DeriveFreezeControl(CMC_Setup* setup);           // isFreezeControl
int DeriveFreezeControlTime(CMC_Setup* setup);       // FreezeControl_time
int DeriveCanSave(CMC_Setup* setup, const char* target, int bit);  // save_CAN_baudrate, save_axis_id
int DeriveSpeedEstimator(CMC_Setup* setup);          // isSpeedEstimator: SCR & 0x38 == 0x30

// --- Gains, currents and filters (derive_currents.cpp)

// value = mantissa * 2^shift / 32767, limits 0 to 16384.
int DeriveScaledGain(CMC_Setup* setup, const char* gain, const char* mantissa, const char* shift);
int DeriveAccelerationFeedForward(CMC_Setup* setup);  // KFFA_scl
int DeriveDerivativeFilter(CMC_Setup* setup);         // filter_D
int DeriveIntegralLimit(CMC_Setup* setup, const char* target, const char* imax, const char* sat);  // IPSatS, IPSatP
int DeriveCurrentLimit(CMC_Setup* setup);      // IlimPS
int DeriveTestLimitCurrent(CMC_Setup* setup);  // TestLimitCurrent
int DeriveTestCurrent(CMC_Setup* setup);       // TestCurrent
// TestProtectionCurrent (from 0), Imax_Prot (from 0.001): IMAXPROT / Ki up to the peak current.
int DeriveProtectionCurrent(CMC_Setup* setup, const char* target, double lowest);
int DeriveOffsetCurrent(CMC_Setup* setup);     // OffsetCurrent
// I_I2t_D, I_I2t_M: sqrt(16 limit + (nominal Ki)^2) / Ki, limits floorFactor * nominal to the peak.
int DeriveI2tCurrent(CMC_Setup* setup, const char* target, const char* limit, const char* nominal,
                     double floorFactor, const char* peak);
// t_I2t_D (with the Ts_S parameter), t_I2t_M (with the computed Ts_S): Ts_S * 2^26 / factor.
int DeriveI2tTime(CMC_Setup* setup, const char* target, const char* reg, bool periodParameter);
int DeriveCurrentFilter(CMC_Setup* setup);     // FilterOnCurrentControllerOutput

// --- Speeds, positions and the external reference (derive_motion.cpp)
int DeriveSpeedLimit(CMC_Setup* setup);        // Limit_Speed
int DeriveTestMaxSpeed(CMC_Setup* setup);      // TestMaxSpeed
int DerivePositionError(CMC_Setup* setup);     // ERR_position
int DeriveSpeedError(CMC_Setup* setup);        // ERR_speed
// time_Imax_Prot, time_ERR_pos, time_ERR_spd: register * Ts_S, limits 0.001 to 32767 Ts_S.
int DeriveSampleTime(CMC_Setup* setup, const char* target, const char* reg);
int DeriveSoftwareLimit(CMC_Setup* setup, const char* target, bool positive);  // Negative_SWLS, Positive_SWLS
int DeriveReferenceSpeed(CMC_Setup* setup);    // ErefMaxSpeed
int DeriveReferenceAcceleration(CMC_Setup* setup);  // ErefMaxAcceleration
int DeriveFreezeControlBand(CMC_Setup* setup); // FreezeControl_errband
int DeriveDeadBandPoint(CMC_Setup* setup);
int DeriveDeadBandRange(CMC_Setup* setup);
int DeriveReferenceFilter(CMC_Setup* setup);   // filter
// The analogue input's range in internal units after the range rule (parameter_limits.h) of
// the target: POS_min, SPD_min take AD5OFF; POS_max, SPD_max, CRT_max AD5OFF plus the span.
int DeriveReferenceBottom(CMC_Setup* setup, const char* target, int (*limits)(CMC_Setup*));
int DeriveReferenceTop(CMC_Setup* setup, const char* target, int (*limits)(CMC_Setup*));
int DeriveCurrentReferenceBottom(CMC_Setup* setup);  // CRT_min, without limits

}  // namespace kestrel
