#include "programs/programs.h"

namespace drivesim::programs {

std::unique_ptr<Program> CreateProgram(const ProgramDescriptor& descriptor) {
  if (descriptor.base.starts_with("Total_")) return CreateTotalInertiaIdentification();
  if (descriptor.base == "Speed_Controller_Tuning_Test") return CreateSpeedControllerTuning();
  if (descriptor.base == "Position_Controller_Tuning_Test_with_SpdCtrl") return CreatePositionControllerTuning(true);
  if (descriptor.base == "Position_Controller_Tuning_Test_without_SpdCtrl") {
    return CreatePositionControllerTuning(false);
  }
  if (descriptor.base == "Initial_Positioning_Test") return CreateInitialPositioning();
  if (descriptor.base == "Current_Controller_Tuning_Test") return CreateCurrentControllerTuning();
  return nullptr;
}

}  // namespace drivesim::programs
