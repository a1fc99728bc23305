// A program of the tests' own that runs the drive's closed loops: on ENABLE it switches the axis
// on, commutates, engages the servo with the given configuration and then, at every slow step,
// lets the test set the references and record what it needs. Launched through
// Drive::LaunchProgram under a descriptor with STARTED only.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <utility>

#include "drivesim/drive.h"
#include "programs/program.h"

namespace drivesim::testing {

// Called at engagement (`sample` 0) and at every slow step after the outer loops (from 1).
using ServoSampler = std::function<void(const programs::ProgramHost& host, control::Servo& servo, int sample)>;

class ServoTestProgram : public programs::Program {
 public:
  ServoTestProgram(control::ServoConfig config, ServoSampler sampler)
      : config_(config), sampler_(std::move(sampler)) {}

  void FastStep(programs::ProgramHost& host) override {
    if (engaged_ || !host.EnableActive()) return;
    host.SwitchAxisOn();
    host.SetProgramValue("STARTED", 1);
    host.Commutate();
    sampler_(host, host.EngageServo(config_), 0);
    engaged_ = true;
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
  bool engaged_ = false;
  int samples_ = 0;
};

inline const ProgramDescriptor& ServoTestDescriptor() {
  static const ProgramDescriptor descriptor{"Servo_Test", "Servo_Test", "IE", false, 1,
                                            {{"STARTED", VariableType::int16, VariableDirection::output, 1, 0}}};
  return descriptor;
}

// Launches the servo program on a drive whose registers are loaded.
inline Status LaunchServo(Drive& drive, control::ServoConfig config, ServoSampler sampler) {
  return drive.LaunchProgram(ServoTestDescriptor(), std::make_unique<ServoTestProgram>(config, std::move(sampler)), {});
}

// A gain as the drive's register pair: K·2^s/32767 with s = max(0, ceil(log2 k)), K rounded.
struct GainPair {
  std::int32_t gain, shift;
};
inline GainPair EncodeGain(double k) {
  const int shift = std::max(0, static_cast<int>(std::ceil(std::log2(k))));
  return {static_cast<std::int32_t>(std::lround(k * 32767.0 / std::ldexp(1.0, shift))), shift};
}
// What the drive makes of a pair: K·2^s/32768.
inline double EffectiveGain(GainPair pair) { return pair.gain * std::ldexp(1.0, pair.shift) / 32768.0; }

}  // namespace drivesim::testing
