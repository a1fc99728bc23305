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
  if (descriptor.base == "Motor_Phase_Connection_Test") return CreatePhaseConnection();
  if (descriptor.base == "Ident_R_or_Rs") return CreateResistanceIdentification();
  if (descriptor.base == "Ident_L_or_Tau_el") return CreateInductanceIdentification();
  if (descriptor.base == "Motor_Pole_Pairs_Detection_Test") return CreatePolePairsDetection();
  if (descriptor.base == "Current_Controller_Tuning_Test") return CreateCurrentControllerTuning();
  if (descriptor.base == "Encoder_Connection_Test" || descriptor.base == "Encoder_LD_Connection_Test") {
    return CreateEncoderConnection();
  }
  if (descriptor.base == "Encoder_Resolution_And_Direction_Test") return CreateEncoderResolution();
  if (descriptor.base == "Hall_Signals_Connection_Test") return CreateHallSignalsConnection(descriptor.prefix == "LH");
  if (descriptor.base == "Hall_Configuration_Detection_Test") return CreateHallConfigurationDetection();
  if (descriptor.base == "Detect_Hall_Gain_Offset_Test") return CreateHallGainOffset();
  if (descriptor.base == "Encoder_Offset_Detection_Test") return CreateSsiOffsetDetection();
  if (descriptor.base == "Angle_Controller_Tuning_Test") return CreateAngleControllerTuning();
  if (descriptor.base == "VDC_Detection_Test") return CreateVdcDetection();
  if (descriptor.base == "Analogue_Reference_Test") return CreateAnalogueReference();
  if (descriptor.base == "Setup_Resolver_Test") return CreateResolverSetup();
  return nullptr;
}

}  // namespace drivesim::programs
