// A program of the tests' own that runs the drive's closed loops: on ENABLE it switches the axis
// on, commutates and engages the servo; the sampler sets references at engagement (sample 0)
// and sees every slow step after the outer loops (samples 1, 2, …).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "programs/program.h"
#include "reference_drive.h"

namespace drivesim::testing {

using ServoSampler = std::function<void(const programs::ProgramHost& host, control::Servo& servo, int sample)>;

class ServoTestProgram : public programs::Program {
 public:
  ServoTestProgram(control::ServoConfig config, ServoSampler sampler) : config_(config), sampler_(std::move(sampler)) {}

  void FastStep(programs::ProgramHost& host) override {
    if (samples_ >= 0 || !host.EnableActive()) return;
    host.SwitchAxisOn();
    host.SetProgramValue("STARTED", 1);
    host.Commutate();
    sampler_(host, host.EngageServo(config_), samples_ = 0);
  }
  void SlowStep(programs::ProgramHost& host) override {
    if (control::Servo* servo = host.EngagedServo()) sampler_(host, *servo, ++samples_);
  }
  void HostStop(programs::ProgramHost& host) override {
    host.SwitchAxisOff();
    End();
  }
  bool TriggersLog() const override { return false; }

 private:
  control::ServoConfig config_;
  ServoSampler sampler_;
  int samples_ = -1;
};

inline control::ServoConfig ServoConfigOf(control::ServoMode mode, std::optional<bool> cascade = {},
                                         std::optional<std::int32_t> currentLimit = {},
                                         std::optional<std::int32_t> speedLimit = {}) {
  return {mode, cascade, currentLimit, speedLimit};
}

inline Scenario LockedRotor() {
  Scenario scenario;
  scenario.rotor_locked = true;
  return scenario;
}

// Launches the program; the servo engages at the next fast tick, so that sample k falls at k ms
// on a drive loaded at time 0.
inline void LaunchServo(Drive& drive, const control::ServoConfig& config, ServoSampler sampler) {
  static const ProgramDescriptor descriptor{"Servo_Test", "Servo_Test", "IE", false, 1,
                                            {{"STARTED", VariableType::int16, VariableDirection::output, 1, 0}}};
  auto program = std::make_unique<ServoTestProgram>(config, std::move(sampler));
  const Status launched = drive.LaunchProgram(descriptor, std::move(program), {});
  EXPECT_TRUE(launched.ok()) << launched.error;
}

// Launches the program with `reference` as speed reference (counts a sample) and target position
// at engagement; `watch` sees the servo at every sample.
inline void LaunchServoStep(Drive& drive, const control::ServoConfig& config, std::int32_t reference,
                            std::function<void(control::Servo&, int)> watch = {}) {
  LaunchServo(drive, config, [=](const programs::ProgramHost&, control::Servo& servo, int sample) {
    if (sample == 0) servo.SetSpeedReference16(std::int64_t{reference} << 16);
    if (sample == 0) servo.SetTargetPosition(reference);
    if (watch) watch(servo, sample);
  });
}

}  // namespace drivesim::testing
