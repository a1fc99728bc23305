// Parameter-to-register computation: every drive register (PWMPER, KPI, UMAXPROT, SCR, ...)
// recomputed from the user-level parameters, the inverse of the derivation (derivation.h).
//
// Each routine writes one register and returns true, or false writing nothing when the register
// or a parameter it reads is missing. Values go to the setup model as reals, which stores them
// as the register's type does (rounded to nearest and saturated); a routine truncates only where
// its register says so. Bit-field registers keep the bits they do not own.
#pragma once

#include "compute/compute_reporter.h"
#include "drivebase/setup.h"

// Every register in the drive's order, optional features only when their parameters exist
// (probed silently). Results are ignored: a missing register is just left as it is. What the
// engineer must see (more filters enabled than the drive has slots) goes to the reporter; without
// one, to the host's error reporting.
void ComputeAllRegisters(CMC_Setup* setup, const kestrel::ComputeReporter& reporter);
void ComputeAllRegisters(CMC_Setup* setup);

namespace kestrel {

// --- Scalar registers (compute_scalar_registers.cpp)
bool ComputePWMPER(CMC_Setup* setup);       // DSP_freq * 0.5 / PWM_freq
bool ComputeT2MAXPROT(CMC_Setup* setup);    // drive over-temperature level in ADC counts
bool ComputeUMAXPROT(CMC_Setup* setup);     // UMAX_PROT * Uscale, truncated
bool ComputeUMINPROT(CMC_Setup* setup);     // UMIN_PROT * Uscale
bool ComputeBRAKELIM(CMC_Setup* setup);     // Vbrake * Uscale
bool ComputeSATPWM(CMC_Setup* setup);       // PWM_freq * 0.13107 with current measurement
bool ComputeMTSTYPE(CMC_Setup* setup);
bool ComputeAAR_table(CMC_Setup* setup);
bool CopySATPWM(CMC_Setup* setup, const char* target);  // SATID, SATIQ
bool ComputeFILTERQ(CMC_Setup* setup);
bool ComputeFFL(CMC_Setup* setup);
bool ComputeKFFL(CMC_Setup* setup);         // 32767
bool ComputeKDFP(CMC_Setup* setup);         // filter_D * 32767
bool ComputeT1MAXPROT(CMC_Setup* setup);    // 32767
bool ComputeIMAXS(CMC_Setup* setup);
bool ComputeSATS(CMC_Setup* setup);
bool ComputeIMAXP(CMC_Setup* setup);
bool ComputeSATP(CMC_Setup* setup);
bool ComputeIMAXPROT(CMC_Setup* setup);
bool ComputeTIMAXPROT(CMC_Setup* setup);
bool ComputeERRMAX(CMC_Setup* setup, const char* target);  // ERRMAX, ERRMAXL
bool ComputeTERRMAX(CMC_Setup* setup);
bool ComputeSERRMAX(CMC_Setup* setup);
bool ComputeTSERRMAX(CMC_Setup* setup);
bool ComputeSWNEGLS(CMC_Setup* setup);      // into SWPOSLS under a negative position scale
bool ComputeSWPOSLS(CMC_Setup* setup);      // into SWNEGLS under a negative position scale
bool ComputeCACC(CMC_Setup* setup);
bool ComputeCSPD(CMC_Setup* setup);
bool ComputeCADIN(CMC_Setup* setup);        // CADIN and SFTADIN together
bool ComputeAD5OFF(CMC_Setup* setup);
bool ComputeFILTER1(CMC_Setup* setup);
bool ComputeLEVEL_AD5(CMC_Setup* setup);
bool ComputeE_LEVEL_AD5(CMC_Setup* setup);
bool ComputeGEAR(CMC_Setup* setup);
bool ComputeT1ON(CMC_Setup* setup, const char* target);  // T1ONA, T1ONB
bool ComputeREFTST(CMC_Setup* setup);
bool ComputeRINCTST(CMC_Setup* setup);
bool ComputeBRAKECFG(CMC_Setup* setup);
bool ComputeBrakeDelay(CMC_Setup* setup, const char* target, const char* time);  // BRAKEAPPLYDELAY, BRAKERELEASEDELAY
bool ComputePOSOKLIM_FC(CMC_Setup* setup);
bool ComputeTONPOSOK_FC(CMC_Setup* setup);
bool ComputeTRANSMISSION(CMC_Setup* setup);
bool ComputeLSS_Active(CMC_Setup* setup);
// The I2t registers of the drive (suffix "_D": InPS, I_I2t_D, t_I2t_D) or of the motor ("_M").
bool ComputeI2tProtection(CMC_Setup* setup, char side);  // II2TPROT_D, II2TPROT_M
bool ComputeI2tFactor(CMC_Setup* setup, char side);      // SFI2T_D, SFI2T_M
bool ComputeI2tLimit(CMC_Setup* setup, char side);       // I2TINTLIM_D, I2TINTLIM_M
bool ComputeI2tWarning(CMC_Setup* setup, char side);     // II2TWARLIM_D, I2TWARLIM_M

// --- Sensor registers (compute_sensor_registers.cpp)
bool ComputeMECRESL(CMC_Setup* setup);
bool ComputeENC2THL(CMC_Setup* setup);
bool ComputeELRESL(CMC_Setup* setup);
bool ComputeELRES_FRACT(CMC_Setup* setup);   // and the minimum of SINCOS_fract
bool ComputeDBTTH(CMC_Setup* setup);
bool ComputeABSTART_MINMOVE(CMC_Setup* setup);
bool ComputeCountingDirection(CMC_Setup* setup, int input);  // COUNTINGDIR_MT (input 0), _LD (1)
bool ComputeEncoderFilters(CMC_Setup* setup);  // QUAL, QUAL_ACT, QUAL_AQ2, QUAL_BCT, QUAL_BQ2
// Serial absolute encoder, from the load set ("_LD") with a serial load sensor, else the motor's.
bool ComputeSSITURNS(CMC_Setup* setup);
bool ComputeSSIREV(CMC_Setup* setup);
bool ComputeSSITYPE(CMC_Setup* setup);
bool ComputeSSIBR(CMC_Setup* setup);
bool ComputeSSISENSE(CMC_Setup* setup);
bool ComputeSSIFDBKTYPE(CMC_Setup* setup);
bool ComputeZAOFF(CMC_Setup* setup);
bool ComputeSPICLKMODE(CMC_Setup* setup);
bool ComputeAEI_CLKDIV(CMC_Setup* setup);
bool ComputeAEI_PER(CMC_Setup* setup);
bool ComputeAEI_CMPTIME(CMC_Setup* setup);

// --- Bit-field registers (compute_bit_registers.cpp)
bool ComputeOSR(CMC_Setup* setup);
bool ComputeASR(CMC_Setup* setup);
bool ComputePCR(CMC_Setup* setup);
bool ComputeACR(CMC_Setup* setup);
bool ComputeSCR(CMC_Setup* setup);
bool ComputeUPGRADE(CMC_Setup* setup);
bool ComputeDIGIN_ACTIVE_LEVEL(CMC_Setup* setup);

// The SCR sensor codes that ComputeSCR writes: of a single sensor, and in dual loop of the
// motor and of the load sensor; -1 for a type that writes nothing.
int SingleSensorCode(int sensorType);
int DualLoopMotorCode(int sensorType);
int DualLoopLoadCode(int sensorType);

}  // namespace kestrel
