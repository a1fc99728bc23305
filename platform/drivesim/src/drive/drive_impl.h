// The simulated drive's state and its tick: everything Drive's members act on.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "drive/drive_variables.h"
#include "drive/i2t.h"
#include "drive/logger.h"
#include "drive/scope.h"
#include "drive/timing.h"
#include "drivesim/drive.h"
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
  bool Idle() const;
  static std::int64_t NextMultiple(std::int64_t from, std::int64_t period);  // first multiple of period ≥ from
  void RunIsrs();                              // the ISRs due at the present tick
  std::int64_t NextStepEnd() const;            // the tick up to which the plant may step at once
  void FastIsr();
  void StepPowerStageAndMotor(int periods);    // the plant over `periods` PWM periods of constant duties
  void CheckShortCircuit(const std::array<double, 3>& legVoltage_V);
  void SampleCurrents();
  void EndProgramOnFault();

  // --- feedback inputs (feedback_inputs.cpp) ---
  void WireSensors();                                  // sensors onto the inputs the options name
  void RefreshDecodeSettings();                        // after a register or option change
  void UpdateFeedbackInputs(double previousPosition);  // the counters at the present shaft position
  std::int32_t Counter(int input) const { return static_cast<std::int32_t>(feedback[static_cast<std::size_t>(input)].encoder.counter); }

  // --- protections (protections.cpp) ---
  struct ProtectionSettings {   // cached from the registers
    std::int32_t pcr = 0;                      // PCR: bit 0 over-current, 4 over-, 5 under-voltage, 6 Hall monitoring
    std::int32_t overCurrentCounts = 32767;    // IMAXPROT
    std::int32_t overCurrentSamples = 1;       // TIMAXPROT, slow samples
    std::int32_t overVoltageCounts = 65535;    // UMAXPROT, bus ADC counts
    std::int32_t underVoltageCounts = 0;       // UMINPROT
  };
  ProtectionSettings protection;
  int overCurrentRun = 0;        // consecutive slow samples above IMAXPROT
  int invalidHallRun = 0;        // consecutive fast samples of Hall code 0 or 7
  void RefreshProtectionSettings();
  void CheckSlowProtections();   // over-current, over- and under-voltage, at every slow tick
  void CheckHallMissing();       // at every fast tick
  void Trip(std::uint16_t bit);  // latches the bit and switches the axis off

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
  void SwitchAxisOff() override;
  control::TwoAxis MeasuredCurrent(std::int32_t angle16) const override;
  void ApplyVoltage(std::int32_t angle16, control::TwoAxis dq) override;
  void ApplyRegulatedVoltage(std::int32_t angle16, control::TwoAxis dq, control::TwoAxis currentReference) override;
  std::int32_t VoltageLimit() const override { return gains.voltageLimit; }
  std::int32_t MotorCounter() const override { return Counter(options.motor_sensor_connector); }
  void TriggerLog() override { logger.Trigger(tick); }
  bool LogFull() const override { return !logger.Attached() || logger.Full(); }
  int LogPoints() const override { return logger.Points(); }

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
  void ConfigureReferenceInput();                     // AD5's span from the options

  bool enableActive = true;
  bool positiveLimit = false, negativeLimit = false;
  double analogInput_V = 0.0;
  std::uint16_t latchedErrors = 0;

  const ProgramDescriptor* descriptor = nullptr;
  std::string loadedName;
  std::unique_ptr<programs::Program> program;
  std::map<std::string, std::int32_t, std::less<>> programMemory;
  drive::DriveVariables driveVariables;
  drive::Logger logger;
  std::deque<UnsolicitedMessage> unsolicited;
  drive::Scope scope;
  void SampleScope(bool slow);   // the scope's sample of this tick, its frames to `unsolicited`

  std::int64_t tick = 0;   // index of the next PWM period since the timing base
};

}  // namespace drivesim
