#include <algorithm>
#include <initializer_list>

#include "compute/biquad_designer.h"
#include "compute/gain_pairs.h"
#include "compute/option_readers.h"
#include "compute/registers.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

bool HasAll(const CMC_Setup* setup, std::initializer_list<const char*> names) {
  return std::all_of(names.begin(), names.end(), [setup](const char* name) { return HasParameter(setup, name); });
}

void ComputeGainPair(CMC_Setup* setup, const GainPair& pair) {
  ComputeShiftRegister(setup, pair);
  ComputeMantissaRegister(setup, pair);
}

// Step 1: the power stage and the drive's own protections.
void ComputeDriveProtection(CMC_Setup* setup) {
  ComputePWMPER(setup);
  ComputeT2MAXPROT(setup);
  ComputeUMAXPROT(setup);
  ComputeUMINPROT(setup);
  ComputeI2tProtection(setup, 'D');
  ComputeI2tFactor(setup, 'D');
  ComputeI2tLimit(setup, 'D');
  if (HasI2tWarning(setup)) ComputeI2tWarning(setup, 'D');
}

// Step 2: the motor sensor and the drive's configuration words.
void ComputeConfiguration(CMC_Setup* setup) {
  ComputeSATPWM(setup);
  ComputeMECRESL(setup);
  ComputeENC2THL(setup);
  ComputeMTSTYPE(setup);
  ComputeAAR_table(setup);
  ComputeSCR(setup);
  ComputeOSR(setup);
  ComputeASR(setup);
  ComputePCR(setup);
  ComputeACR(setup);
}

// Steps 3 to 8: the controllers, from the current loop outwards.
void ComputeControllers(CMC_Setup* setup) {
  ComputeGainPair(setup, kCurrentProportional);
  ComputeGainPair(setup, kCurrentIntegral);
  CopySATPWM(setup, "SATID");
  CopySATPWM(setup, "SATIQ");

  ComputeFILTERQ(setup);
  ComputeFFL(setup);
  ComputeKFFL(setup);

  ComputeGainPair(setup, kSpeedProportional);
  ComputeGainPair(setup, kSpeedIntegral);
  ComputeIMAXS(setup);
  ComputeSATS(setup);

  ComputeGainPair(setup, kPositionProportional);
  ComputeGainPair(setup, kPositionIntegral);
  ComputeGainPair(setup, kPositionDerivative);
  ComputeKDFP(setup);

  if (HasParameter(setup, "KPTHT")) {
    ComputeGainPair(setup, kAngleProportional);
    ComputeGainPair(setup, kAngleIntegral);
  }

  ComputeIMAXP(setup);
  ComputeSATP(setup);
  ComputeGainPair(setup, kSpeedFeedForward);
  ComputeAccFeedForwardShift(setup);
  ComputeAccFeedForwardExtraShift(setup);
  ComputeAccFeedForwardMantissa(setup);
}

// Steps 9 to 11: the control-error and motor protections, software limits and the reference's
// speed and acceleration.
void ComputeProtection(CMC_Setup* setup) {
  ComputeIMAXPROT(setup);
  ComputeTIMAXPROT(setup);
  ComputeERRMAX(setup, "ERRMAX");
  if (HasParameter(setup, "ERRMAXL")) ComputeERRMAX(setup, "ERRMAXL");
  ComputeTERRMAX(setup);
  ComputeSERRMAX(setup);
  ComputeTSERRMAX(setup);
  ComputeT1MAXPROT(setup);

  ComputeI2tProtection(setup, 'M');
  ComputeI2tFactor(setup, 'M');
  ComputeI2tLimit(setup, 'M');
  if (HasI2tWarning(setup)) ComputeI2tWarning(setup, 'M');

  if (HasParameter(setup, "isSWLS")) {
    ComputeSWNEGLS(setup);
    ComputeSWPOSLS(setup);
  }
  ComputeCACC(setup);
  ComputeCSPD(setup);
}

// Steps 12 to 15: the external reference, start-up and the drive's inputs and outputs.
void ComputeReferenceAndInputs(CMC_Setup* setup) {
  if (HasAnalogueInput(setup)) {
    ComputeCADIN(setup);
    ComputeAD5OFF(setup);
    ComputeFILTER1(setup);
    ComputeLEVEL_AD5(setup);
    ComputeE_LEVEL_AD5(setup);
  }

  ComputeGEAR(setup);
  ComputeT1ON(setup, "T1ONA");
  ComputeT1ON(setup, "T1ONB");
  ComputeREFTST(setup);
  ComputeRINCTST(setup);
  ComputeELRESL(setup);
  ComputeBRAKELIM(setup);
  ComputeDIGIN_ACTIVE_LEVEL(setup);
  ComputeUPGRADE(setup);
  if (HasAll(setup, {"save_CAN_baudrate", "save_axis_id"})) ComputeLSS_Active(setup);

  if (HasParameter(setup, "ReverseCounting_MT")) {
    ComputeCountingDirection(setup, 0);
    ComputeCountingDirection(setup, 1);
  }
  if (HasAll(setup, {"isFilterEnc_MT", "FilterEncValue_MT", "isFilterEnc_LD", "FilterEncValue_LD"})) {
    ComputeEncoderFilters(setup);
  }

  if (HasAll(setup, {"BRAKECFG", "isMotorBrake"})) {
    ComputeBRAKECFG(setup);
    ComputeBrakeDelay(setup, "BRAKEAPPLYDELAY", "MotorBrake_applytime");
    ComputeBrakeDelay(setup, "BRAKERELEASEDELAY", "MotorBrake_releasetime");
  }
  if (HasAll(setup, {"POSOKLIM_FC", "TONPOSOK_FC"})) {
    ComputePOSOKLIM_FC(setup);
    ComputeTONPOSOK_FC(setup);
  }
}

bool HasSerialEncoder(const CMC_Setup* setup) {
  return setup->HasDLMotorSensor(5, false) || setup->HasDLMotorSensor(6, false) ||
         setup->HasDLLoadSensor(5, false) || setup->HasDLLoadSensor(6, false);
}

// Step 17: the serial absolute encoder, motor or load.
void ComputeSerialEncoder(CMC_Setup* setup) {
  ComputeSSITURNS(setup);
  ComputeSSIREV(setup);
  ComputeSSITYPE(setup);
  ComputeSSIBR(setup);
  ComputeSSISENSE(setup);
  ComputeSSIFDBKTYPE(setup);
  ComputeZAOFF(setup);
  if (HasParameter(setup, "SPICLKMODE")) ComputeSPICLKMODE(setup);
  ComputeAEI_CLKDIV(setup);
  ComputeAEI_PER(setup);
  ComputeAEI_CMPTIME(setup);
}

}  // namespace
}  // namespace kestrel

void ComputeAllRegisters(CMC_Setup* setup) { ComputeAllRegisters(setup, kestrel::HostErrorReporter()); }

void ComputeAllRegisters(CMC_Setup* setup, const kestrel::ComputeReporter& reporter) {
  using namespace kestrel;
  if (setup == nullptr) return;
  ComputeDriveProtection(setup);
  ComputeConfiguration(setup);
  ComputeControllers(setup);
  ComputeProtection(setup);
  ComputeReferenceAndInputs(setup);

  // Step 16: the sensor resolution registers that read the interpolation.
  ComputeTRANSMISSION(setup);
  if (HasParameter(setup, "ELRES_FRACT")) ComputeELRES_FRACT(setup);
  ComputeDBTTH(setup);

  if (HasSerialEncoder(setup)) ComputeSerialEncoder(setup);
  if (HasParameter(setup, "IQREF_BQ_INI")) CBiquadDesigner().WriteAllFilters(setup, reporter);
  if (HasParameter(setup, "ABSTART_MINMOVE")) ComputeABSTART_MINMOVE(setup);
}
