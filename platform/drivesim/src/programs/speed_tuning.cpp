// Speed_Controller_Tuning_Test: the drive's speed loop (the register gains, the program's current
// limit IlimPS_Test for the output and as a cap of the integral) follows the six-segment profile
// as its speed reference, counts per slow sample in 16.16.
#include "programs/profile_program.h"
#include "programs/programs.h"

namespace drivesim::programs {

namespace {

class SpeedControllerTuning : public ProfileProgram {
 private:
  void ReadLimits(const ProgramHost& host) override { currentLimit_ = host.ProgramValue("IlimPS_Test"); }
  control::ServoConfig Loops() const override { return {control::ServoMode::speed, {}, currentLimit_, {}}; }
  void Apply(control::Servo& servo, std::int64_t reference16) override { servo.SetSpeedReference16(reference16); }

  std::int32_t currentLimit_ = 0;
};

}  // namespace

std::unique_ptr<Program> CreateSpeedControllerTuning() { return std::make_unique<SpeedControllerTuning>(); }

}  // namespace drivesim::programs
