#include "programs/programs.h"

namespace drivesim::programs {

std::unique_ptr<Program> CreateProgram(const ProgramDescriptor& descriptor) {
  if (descriptor.base == "Initial_Positioning_Test") return CreateInitialPositioning();
  if (descriptor.base == "Current_Controller_Tuning_Test") return CreateCurrentControllerTuning();
  if (descriptor.base.starts_with("Total_")) return CreateTotalInertiaIdentification();
  return nullptr;
}

}  // namespace drivesim::programs
