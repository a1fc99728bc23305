// Constructors of the programs, one per base name.
#pragma once

#include <memory>

#include "programs/program.h"

namespace drivesim::programs {

std::unique_ptr<Program> CreateTotalInertiaIdentification();  // also the total mass
std::unique_ptr<Program> CreateSpeedControllerTuning();
std::unique_ptr<Program> CreatePositionControllerTuning(bool withSpeedLoop);
std::unique_ptr<Program> CreateInitialPositioning();
std::unique_ptr<Program> CreateCurrentControllerTuning();

}  // namespace drivesim::programs
