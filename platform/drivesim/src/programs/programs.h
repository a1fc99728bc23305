// Constructors of the programs, one per base name.
#pragma once

#include <memory>

#include "programs/program.h"

namespace drivesim::programs {

std::unique_ptr<Program> CreateTotalInertiaIdentification();  // also the total mass
std::unique_ptr<Program> CreateSpeedControllerTuning();
std::unique_ptr<Program> CreatePositionControllerTuning(bool withSpeedLoop);
std::unique_ptr<Program> CreateInitialPositioning();
std::unique_ptr<Program> CreatePhaseConnection();
std::unique_ptr<Program> CreateResistanceIdentification();
std::unique_ptr<Program> CreateInductanceIdentification();
std::unique_ptr<Program> CreatePolePairsDetection();
std::unique_ptr<Program> CreateCurrentControllerTuning();
std::unique_ptr<Program> CreateEncoderConnection();  // also the dual-loop one
std::unique_ptr<Program> CreateEncoderResolution();
std::unique_ptr<Program> CreateHallSignalsConnection(bool linearHalls);  // IE digital, LH analogue
std::unique_ptr<Program> CreateHallConfigurationDetection();
std::unique_ptr<Program> CreateHallGainOffset();
std::unique_ptr<Program> CreateSsiOffsetDetection();
std::unique_ptr<Program> CreateAngleControllerTuning();
std::unique_ptr<Program> CreateVdcDetection();
std::unique_ptr<Program> CreateAnalogueReference();
std::unique_ptr<Program> CreateResolverSetup();

}  // namespace drivesim::programs
