// Position_Controller_Tuning_Test_with_SpdCtrl and _without_SpdCtrl: the drive's position PID
// follows the six-segment profile as a displacement from where the axis stands at the profile
// start: Target_Position = start + (ref32 >> 16). With the speed loop the PID's output is the
// speed reference, limited to LimitSpeed_Test (load counts per sample), and the speed PI runs on
// the register limits; without it the output is the current reference, limited to IlimPS_Test.
#include "programs/profile_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

class PositionControllerTuning : public ProfileProgram {
 public:
  explicit PositionControllerTuning(bool withSpeedLoop) : withSpeedLoop_(withSpeedLoop) {}

 private:
  void ReadLimits(const ProgramHost& host) override {
    limit_ = host.ProgramValue(withSpeedLoop_ ? "LimitSpeed_Test" : "IlimPS_Test");
  }
  control::ServoConfig Loops() const override {
    if (withSpeedLoop_) return {control::ServoMode::position, true, {}, limit_};
    return {control::ServoMode::position, false, limit_, {}};
  }
  void BeginProfile(control::Servo& servo) override { start_ = servo.TargetPosition(); }
  void Apply(control::Servo& servo, std::int64_t reference16) override {
    servo.SetTargetPosition(static_cast<std::int32_t>(start_ + (reference16 >> 16)));
  }

  bool withSpeedLoop_;
  std::int32_t limit_ = 0;
  std::int32_t start_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreatePositionControllerTuning(bool withSpeedLoop) {
  return std::make_unique<PositionControllerTuning>(withSpeedLoop);
}

}  // namespace drivesim::programs
