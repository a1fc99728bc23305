// The simulated drive's state and its tick: everything Drive's members act on.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "drive/logger.h"
#include "drive/timing.h"
#include "drivesim/drive.h"
#include "model/hand.h"
#include "model/plant.h"
#include "model/power_stage.h"
#include "model/random.h"
#include "programs/program.h"
#include "sensors/encoder.h"
#include "sensors/halls.h"

namespace drivesim {

struct Drive::Impl final : programs::ProgramHost {
  Impl(DriveHardware hardware, MotorModel motor, Scenario scenario);

  // --- scheduler (scheduler.cpp) ---
  void RunUntil(double t_s);
  bool Idle() const;
  void Tick();
  void FastIsr();
  void StepPowerStageAndMotor();
  void CheckShortCircuit(const std::array<double, 3>& legVoltage_V);
  void SampleCurrents();
  void EndProgramOnFault();

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
  void SetDriveValue(std::string_view name, std::int32_t value) override;
  bool EnableActive() const override { return enableActive; }
  bool AxisOn() const override { return stage.driven; }
  void SwitchAxisOn() override;
  void SwitchAxisOff() override;
  control::TwoAxis MeasuredCurrent(std::int32_t angle16) const override;
  void ApplyVoltage(std::int32_t angle16, control::TwoAxis dq) override;
  std::int32_t VoltageLimit() const override { return 32767 - Register("SATPWM", 0); }
  std::int32_t MotorCounter() const override { return static_cast<std::int32_t>(motorEncoder.counter); }
  void TriggerLog() override { logger.Trigger(tick); }
  bool LogFull() const override { return !logger.Attached() || logger.Full(); }
  int LogPoints() const override { return logger.Points(); }

  DriveHardware hardware;
  MotorModel motor;
  Scenario scenario;
  drive::Timing timing;
  RegisterValues registers;
  bool registersLoaded = false;

  model::PlantParams plantParams;
  model::PlantState plant;
  model::PowerStageParams stageParams;
  model::PowerStageState stage;
  model::NoiseSource noise;
  std::array<model::AdcChannel, 2> currentAdc;
  std::array<std::int32_t, 2> adcCalibration{};
  std::array<std::int32_t, 2> phaseCurrentCounts{};   // calibrated samples of phases A and B
  std::array<double, 3> pendingDuty{0.5, 0.5, 0.5};   // loaded into the compare registers at the next fast tick
  model::Hand hand;

  sensors::EncoderParams encoderParams;
  sensors::EncoderState motorEncoder;
  sensors::HallState hallState;
  int hallCode = 7;

  bool enableActive = true;
  bool positiveLimit = false, negativeLimit = false;
  double analogInput_V = 0.0;
  std::uint16_t latchedErrors = 0;

  const ProgramDescriptor* descriptor = nullptr;
  std::string loadedName;
  std::unique_ptr<programs::Program> program;
  std::map<std::string, std::int32_t, std::less<>> programMemory;
  std::map<std::string, std::int32_t, std::less<>> driveVariables;
  drive::Logger logger;
  std::deque<UnsolicitedMessage> unsolicited;

  std::int64_t tick = 0;   // index of the next PWM period since the timing base
};

}  // namespace drivesim
