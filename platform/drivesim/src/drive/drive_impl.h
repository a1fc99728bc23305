// The simulated drive's state and its tick: everything Drive's members act on.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "control/angle_source.h"
#include "drive/drive_variables.h"
#include "drive/i2t.h"
#include "drive/logger.h"
#include "drive/scope.h"
#include "drive/timing.h"
#include "drivesim/drive.h"
#include "model/dc_bus.h"
#include "model/hand.h"
#include "model/plant.h"
#include "model/power_stage.h"
#include "model/random.h"
#include "programs/program.h"
#include "drivesim/setup_options.h"
#include "sensors/analog_inputs.h"
#include "sensors/feedback.h"
#include "sensors/halls.h"

namespace drivesim {

struct Drive::Impl final : programs::ProgramHost {
  Impl(DriveHardware hardware, MotorModel motor, Scenario scenario);

  // --- scheduler (scheduler.cpp) ---
  void RunUntil(double t_s);
  bool IsrsQuiet() const;                      // no switching, program, scope, hand, unsettled input or bus
  bool Idle() const;
  void RunIsrs(bool slow, bool fast);          // the ISRs due at the present tick
  std::int64_t NextStepEnd(std::int64_t nextIsr) const;  // the tick up to which the plant may step at once
  void FastIsr();
  void StepPowerStageAndMotor(int periods);    // the plant over `periods` PWM periods of constant duties
  void CheckShortCircuit(const std::array<double, 3>& legVoltage_V);
  void SampleCurrents();
  void EndProgramOnFault();

  // --- feedback inputs (feedback_inputs.cpp) ---
  void WireSensors();                                  // sensors onto the inputs the options name
  void RefreshDecodeSettings();                        // after a register or option change
  // The counters at the present shaft position, h_s after the last update.
  void UpdateFeedbackInputs(double previousPosition, double h_s = 0.0);
  bool ConvertersTracking() const {                    // a resolver's converter has not settled yet (every plant step)
    for (const sensors::FeedbackInputState& input : feedback) {
      if (input.converter.started && !input.converter.Settled()) return true;
    }
    return false;
  }
  std::int32_t Counter(int input) const { return static_cast<std::int32_t>(feedback[static_cast<std::size_t>(input)].encoder.counter); }

  // --- protections (protections.cpp) ---
  // The protections the PCR register switches on, one bit each.
  struct Pcr {
    static constexpr std::int32_t kOverCurrent = 1 << 0;
    static constexpr std::int32_t kMotorI2t = 1 << 1;
    static constexpr std::int32_t kMotorTemperature = 1 << 2;
    static constexpr std::int32_t kDriveTemperature = 1 << 3;
    static constexpr std::int32_t kOverVoltage = 1 << 4;
    static constexpr std::int32_t kUnderVoltage = 1 << 5;
    static constexpr std::int32_t kHallMonitoring = 1 << 6;
    static constexpr std::int32_t kDriveI2t = 1 << 7;
  };
  struct ProtectionSettings {   // cached from the registers
    std::int32_t pcr = 0;                      // PCR, the bits of Pcr
    std::int32_t overCurrentCounts = 32767;    // IMAXPROT
    std::int32_t overCurrentSamples = 1;       // TIMAXPROT, slow samples
    std::int32_t overVoltageCounts = 65535;    // UMAXPROT, bus ADC counts
    std::int32_t underVoltageCounts = 0;       // UMINPROT
    bool brakeEnabled = false;                 // OSR bit 9: the brake chopper in use
    std::int32_t brakeLimitCounts = 65535;     // BRAKELIM, bus ADC counts
  };
  ProtectionSettings protection;
  int overCurrentRun = 0;        // consecutive slow samples above IMAXPROT
  int invalidHallRun = 0;        // consecutive fast samples of Hall code 0 or 7
  void RefreshProtectionSettings();
  void CheckSlowProtections();   // over-current, over- and under-voltage, at every slow tick
  void CheckBusVoltage();        // over- and under-voltage of the last bus sample (also while idle)
  void CheckHallMissing() {      // at every fast tick, with Hall monitoring on or Hall commutation
    if ((protection.pcr & Pcr::kHallMonitoring) != 0 || HallCommutation()) CountInvalidHallCodes();
  }
  void CountInvalidHallCodes();  // HALL 0 or 7 at three fast samples in a row: 0x0020
  void Trip(std::uint16_t bit);  // latches the bit and switches the axis off

  // --- the regenerating bus (dc_bus.cpp) ---
  model::DcBusParams busParams;  // stiff unless the drive has a bus capacitor
  bool BrakeOn() const;          // the chopper conducts: enabled and the bus above BRAKELIM
  bool BusSettled() const;       // the bus holds still while the drive idles
  void ChargeBus(double dcCurrent_A, double h_s);

  // --- I²t, temperatures and sensor signals (supervision.cpp) ---
  struct SupervisionSettings {   // cached from the registers
    drive::I2tSettings motorI2t, driveI2t;
    std::int32_t motorTemperatureLimit = 65535;   // T1MAXPROT, ADC counts
    std::int32_t driveTemperatureLimit = 65535;   // T2MAXPROT
    bool serialReadFits = true;
  };
  SupervisionSettings supervision;
  drive::I2tIntegrator motorI2t, driveI2t;
  void RefreshSupervisionSettings();
  bool SerialReadFits() const;
  std::int32_t TemperatureCounts(double celsius) const;
  bool SensorSignalsLost() const;
  void CheckStateProtections();                // over-temperature and sensor error
  void CheckSupervision();                     // at every slow tick
  // Over the ticks [from, to) that an idle jump or a coasting step skips.
  void SuperviseIdle(std::int64_t from, std::int64_t to);
  std::int64_t linearHallRun = 0;              // slow samples with a linear Hall channel out of range
  void CheckLinearHalls(std::int64_t samples);

  // --- injected faults (faults.cpp) ---
  void ApplyPlantFaults();                               // phase resistances, open wire, phase order
  bool ProgramSkips(std::string_view name) const;        // the loaded program never writes it
  int HallInputs() const;                                // HALL, unconnected inputs reading 1
  void ApplyLinearHallFaults(std::array<double, 3>& volts) const;
  void KeepFaultyMotorSensor(const sensors::EncoderState& before, sensors::EncoderState& now) const;
  ProgramDescriptor loadedDescriptor;                    // the loaded program as the drive holds it

  // --- variables (variables.cpp) ---
  std::optional<std::int32_t> Read(std::string_view name) const;
  std::optional<std::int32_t> LiveValue(std::string_view name) const;
  bool Write(std::string_view name, double internal);
  const ProgramVariable* ProgramVariableOf(std::string_view name) const;

  // --- ProgramHost ---
  double CurrentLoopPeriod_s() const override { return timing.currentLoop_s(); }
  double SpeedLoopPeriod_s() const override { return timing.speedLoop_s(); }
  std::int32_t Register(std::string_view name, std::int32_t fallback) const override;
  std::int32_t ProgramValue(std::string_view name) const override;
  void SetProgramValue(std::string_view name, std::int32_t value) override;
  void SetDriveValue(drive::DriveVar variable, std::int32_t value) override { driveVariables[variable] = value; }
  const control::CurrentLoopGains& CurrentGains() const override { return gains; }
  const control::SpeedLoopGains& SpeedGains() const override { return speedGains; }
  const control::PositionLoopGains& PositionGains() const override { return positionGains; }
  const control::BiquadBank& Biquads() const override { return biquads; }
  void RefreshRegisterCache();   // after any register change
  bool EnableActive() const override { return enableActive; }
  bool AxisOn() const override { return stage.driven; }
  void SwitchAxisOn() override;
  void CalibrateCurrentOffsets(int samples) override;
  void SwitchAxisOff() override;
  // The frame currents of the present samples, kept for the angle last asked (every fast tick).
  control::TwoAxis MeasuredCurrent(std::int32_t angle16) const override {
    if (measuredCache.valid && measuredCache.angle16 == angle16) return measuredCache.value;
    measuredCache.value =
        control::Park(control::Clarke(phaseCurrentCounts[0], phaseCurrentCounts[1]), control::SinCosQ15(angle16));
    measuredCache.angle16 = angle16;
    measuredCache.valid = true;
    return measuredCache.value;
  }
  std::array<std::int32_t, 2> PhaseCurrentCounts() const override { return phaseCurrentCounts; }
  std::int32_t BusCounts() const override { return busCounts; }
  std::int32_t DriveValue(drive::DriveVar variable) const override { return driveVariables[variable]; }
  void ApplyVoltage(std::int32_t angle16, control::TwoAxis dq) override;
  void ApplyRegulatedVoltage(std::int32_t angle16, control::TwoAxis dq, control::TwoAxis currentReference) override;
  std::int32_t VoltageLimit() const override { return gains.voltageLimit; }
  std::int32_t MotorCounter() const override { return Counter(options.motor_sensor_connector); }
  double ResolverAmplitude(double demodulationPhase_rad) const override;
  void SetResolverDemodulationPhase(double demodulationPhase_rad) override;
  int HallCode() const override { return HallInputs(); }
  std::array<std::int32_t, 3> LinearHallCounts() const override { return linearHallCounts; }
  void TriggerLog() override { logger.Trigger(tick); }
  void RestartLog() override { logger.Restart(tick); }
  bool LogFull() const override { return !logger.Attached() || logger.Full(); }
  int LogPoints() const override { return logger.Points(); }

  // --- closed loops and commutation (closed_loop.cpp) ---
  void Commutate() override;
  control::Servo& EngageServo(const control::ServoConfig& config) override;
  control::Servo* EngagedServo() override { return servo ? &*servo : nullptr; }
  void ReleaseServo() override { servo.reset(); }
  std::int32_t CommutationAngle() const override { return commutation.angle16; }
  std::int32_t EncoderAngle16(std::uint32_t offset32) const override {
    return control::IncrementalAngle16(offset32, MotorCounter(), angleRegisters);
  }
  std::uint32_t EncoderOffset32(std::int32_t angle16) const override {
    return control::IncrementalOffset32(MotorCounter(), angle16, angleRegisters);
  }
  void KeepCommutationAngle(std::int32_t angle16) override;
  void RefreshServoRegisters();        // after a register change
  bool OuterLoopsInFastIsr() const { return (Register("UPGRADE", 0) >> 6 & 1) != 0; }
  void ServoOuterStep();               // speed and position loops, one sample
  void ServoCurrentStep();             // commutation angle and current loop, every Ts_C
  void UpdateCommutationAngle();
  void ApplyBlockVoltage(int sector, std::int32_t voltage);  // trapezoidal: two legs, the third open
  std::optional<int> BlockSector() const;  // the sector of block commutation; none: sinusoidal
  control::ServoFeedback ServoCounters() const;
  struct Commutation {
    control::AngleSourceKind kind = control::AngleSourceKind::incremental;
    std::uint32_t offset32 = 0;        // θ_off32 of the incremental sources
    int sector = -1;                   // last valid Hall sector (Hall start and block commutation)
    bool edgeSeen = false;             // Hall start: corrected at the first edge
    std::int32_t angle16 = 0;          // θ_e16 of the present fast sample
    bool trapezoidal = false;          // SCR bit 13 clear: block commutation on the angle's sector
  };
  control::AngleRegisters angleRegisters;   // cached from the registers
  Commutation commutation;
  bool HallCommutation() const {       // an engaged servo commutates with the digital Halls (every fast tick)
    return servo && (commutation.kind == control::AngleSourceKind::hallStart ||
                     commutation.kind == control::AngleSourceKind::hallBlocks);
  }
  std::optional<control::Servo> servo;
  control::CurrentLoopState servoCurrentLoop;
  std::array<bool, 3> pendingLegOpen{}, legOpen{};   // legs left open by block commutation

  // --- motion protections (motion_protections.cpp) ---
  struct MotionLimits {                // cached from the registers
    std::int64_t positionError = 0;    // ERRMAXL when present, else ERRMAX
    std::int32_t positionSamples = 65535;  // TERRMAX; 65535 = off
    std::int64_t speedError = 0;       // SERRMAX
    std::int32_t speedSamples = 65535; // TSERRMAX; 65535 = off
  };
  MotionLimits motionLimits;
  int positionErrorRun = 0, speedErrorRun = 0;   // consecutive slow samples beyond the limits
  int quickStopTicks = -1;             // fast ticks left of a limit switch's quick stop, −1 none
  void CheckMotionProtections();       // every slow tick while a servo is engaged
  bool QuickStopStep();                // every fast tick; true while a quick stop holds i_ref at 0
  std::uint16_t HeldLimitBits() const; // limit bits that a clear keeps while their input is active
  // LSP (LSN) active: by its input level, or by the load at or beyond its switch.
  bool PositiveLimitActive() const;
  bool NegativeLimitActive() const;
  void ClearLatched() { latchedErrors = HeldLimitBits(); }

  DriveHardware hardware;
  MotorModel motor;
  Scenario scenario;
  drive::Timing timing;
  RegisterValues registers;
  bool registersLoaded = false;
  control::CurrentLoopGains gains;       // cached from the registers
  control::SpeedLoopGains speedGains;    // cached from the registers
  control::PositionLoopGains positionGains;
  control::BiquadBank biquads;

  model::PlantParams plantParams;
  model::PlantState plant;
  model::PowerStageParams stageParams;
  model::PowerStageState stage;
  model::NoiseSource noise;
  std::array<model::AdcChannel, 2> currentAdc;
  std::array<std::int32_t, 2> adcCalibration{};
  std::array<std::int32_t, 2> phaseCurrentCounts{};   // calibrated samples of phases A and B
  model::AdcChannel busAdc;
  std::int32_t busCounts = 0;                          // the bus sample of the last slow tick
  double programmedDeadTime_s = 0.0;                   // from DBT/DBTPC: what the drive compensates
  struct MeasuredCache {                               // the frame currents of the present samples
    bool valid = false;
    std::int32_t angle16 = 0;
    control::TwoAxis value{};
  };
  mutable MeasuredCache measuredCache;
  std::array<double, 3> pendingDuty{0.5, 0.5, 0.5};   // loaded into the compare registers at the next fast tick
  struct AppliedVoltage {                              // the sinusoidal command behind pendingDuty
    bool valid = false;
    std::int32_t angle16 = 0, d = 0, q = 0;
    bool operator==(const AppliedVoltage&) const = default;
  };
  AppliedVoltage appliedVoltage;                       // reset by every other writer of pendingDuty
  model::Hand hand;

  SetupOptions options;
  std::array<std::optional<sensors::FeedbackSensor>, 2> inputSensor;  // the sensor wired to feedback input 0, 1
  std::array<bool, 2> inputOnLoad{};                                 // that sensor reads the load side
  std::array<sensors::DecodeSettings, 2> decode;                      // cached from the registers and options
  std::array<sensors::FeedbackInputState, 2> feedback;   // the counters of input 0, 1
  sensors::HallState hallState;
  int hallCode = 7;

  model::AdcChannel referenceAdc, linearHallAdc;
  std::int32_t referenceCounts = 0;                   // AD5
  std::array<std::int32_t, 3> linearHallCounts{};     // AD6, AD3, AD8/AD9
  void SampleSlowChannels();                          // at every slow tick and on an input change
  void SampleLinearHalls();                           // AD6, AD3, AD8/AD9 of a linear Hall motor

  // --- the linear Hall motor sensor's counter (linear_hall_input.cpp) ---
  struct LinearHallTrack {
    bool started = false;
    std::int64_t unwrapped16 = 0;     // the calibrated angle, unwrapped, 65536 per electrical period
    std::int32_t last16 = 0;
  };
  LinearHallTrack linearHallTrack;
  void UpdateLinearHallCounter();     // at every sample of the linear Hall channels
  void ConfigureReferenceInput();                     // AD5's span from the options

  bool enableActive = true;
  bool positiveLimit = false, negativeLimit = false;
  // Electrical levels the scripted user gave (ENABLE, LSP, LSN); none: the active state was given.
  std::array<std::optional<bool>, 3> inputLevel{};
  void ApplyInputLevels();                            // active states from the levels and DIGIN_ACTIVE_LEVEL
  sensors::Potentiometer potentiometer;               // the analogue reference input
  double slowSampled_s = 0.0;                         // time of the last slow-channel samples
  double shaftMark = 0.0;                             // the scripted user's mark on the shaft
  std::uint16_t latchedErrors = 0;

  const ProgramDescriptor* descriptor = nullptr;
  std::string loadedName;
  std::unique_ptr<programs::Program> program;
  std::map<std::string, std::int32_t, std::less<>> programMemory;
  drive::DriveVariables driveVariables;
  drive::Logger logger;
  // Where each logged variable lives, resolved at the launch (program memory and drive variables
  // stay put for the run); null: read by name at each point (live values and registers).
  std::vector<const std::int32_t*> loggedValues;
  void ResolveLoggedValues();
  // The logger's point of this tick, if it takes one. Asked inline at every ISR tick: the logger
  // samples only between its trigger and its last point.
  void SampleLogger(bool slow) {
    if (logger.Sampling()) TakeLoggerPoint(slow);
  }
  void TakeLoggerPoint(bool slow);
  std::deque<UnsolicitedMessage> unsolicited;
  drive::Scope scope;
  void SampleScope(bool slow);   // the scope's sample of this tick, its frames to `unsolicited`

  std::int64_t tick = 0;   // index of the next PWM period since the timing base
};

}  // namespace drivesim
