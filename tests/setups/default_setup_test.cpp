// The default setup holds every drive variable and option that the plug-in, its dialogs and its
// tests read or write, with values within their limits. (That the computations find every
// parameter they look up: compute_round_trip_test.cpp; the dialogs: their scripts.)
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "drivebase/error_report.h"
#include "drivebase/setup_file.h"
#include "kestrel/default_setup.h"

namespace kestrel {
namespace {

const std::vector<std::string> kVariables = {
    "AD3", "AD3OFF", "AD5", "AD6", "AD6OFF", "AD8", "AD9", "ALPHA", "APOS", "APOS_LD", "APOS_MT", "ASPD", "ASPD_LD",
    "ASPD_MT", "CACC", "CADIN", "CAPPOS", "CAPPOS2", "CDEC", "CPOS", "CSPD", "ELRES_FRACT", "EREFP", "EREFS", "ERRMAX",
    "ERRMAXL", "HALL", "HALLCASE", "HOMEPOS", "HOMESPD", "ID", "IQ", "JERK", "Jt", "KSLIP", "Load_Position",
    "Load_Speed", "MER", "POSERR", "POSINC", "POSINIT", "Position_Error", "POSOKLIM", "POSTRIGG1", "POSTRIGG4",
    "Pulse_Dir_Input_Position", "Pulse_Dir_Input_Speed", "REFTST_V", "RINCTST_V", "SERRMAX", "SFTCWEAK", "SIN2REC",
    "SPDERR", "SPDREF", "Speed_Error", "Speed_Reference", "SRECTCOMP", "TACC", "Target_Position", "Target_Speed",
    "THTST", "TINCTST", "TPOS", "TPOSFAST", "TSPD", "var_i1", "var_i2", "var_lf_long", "var_u2", "ZAOFF"
};

const std::vector<std::string> kOptions = {
    "DisableExternalDigitalReference", "DisableMotorTemperature", "hasEncoderBrokenWireProtection",
    "hasNegTransmission", "hasOscilloscope", "hideEnablePolarity", "IsClosedCurrent", "IsClosedPosition",
    "IsClosedSpeed", "isIndex", "isIndex2", "IsInputsTypeProgrammable", "isPositionFeedbackOnLoad",
    "isPositionFeedbackOnMotor", "isSpeedFeedback", "IsStepMotor", "IsStepperOpenLoop", "LoadPosition", "MaxFilters",
    "MotorPosition", "MotorSpeed", "MotorType", "NewDeadBand", "PMSMStartwithHalls", "PositionTuningOscSettings",
    "ReferenceName", "ResolverFixedCounts",
    "SpeedTuningOscSettings"
};

class DefaultSetup : public ::testing::Test {
 protected:
  const CMC_Setup setup = LoadDefaultSetup();
  const drivebase::ErrorReportingOff silent;
};

TEST_F(DefaultSetup, HoldsEveryDriveVariableThePlugInUses) {
  for (const std::string& name : kVariables) EXPECT_NE(setup.FindVariable(name, 0), nullptr) << name;
}

TEST_F(DefaultSetup, HoldsEveryOption) {
  for (const std::string& name : kOptions) EXPECT_NE(setup.FindOption(name), nullptr) << name;
}

TEST_F(DefaultSetup, ValuesLieWithinTheirLimits) {
  for (const auto& parameter : setup.Parameters()) {
    if (parameter->IsDriveScaled()) continue;  // their base values need the plug-in's scales
    const double value = parameter->GetValueInBaseUnit();
    EXPECT_GE(value, parameter->GetMinInBaseUnit()) << parameter->GetName();
    EXPECT_LE(value, parameter->GetMaxInBaseUnit()) << parameter->GetName();
  }
}

TEST_F(DefaultSetup, DescribesTheDriveAndMotorOfTheDemo) {
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("DSP_freq"), 40e6);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("PWMPER"), 1000.0);  // 40 MHz / (2 * 20 kHz)
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("Vdc"), 48.0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("ImaxPS"), 10.0);
  EXPECT_EQ(Compute_ADCMaxValue(&setup), 65472u);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("pp"), 4.0);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("MECRESL"), 8000.0);  // 4 * 2000 lines
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("L"), 1.2e-3);
  EXPECT_EQ(setup.GetParameterValueInBaseUnit("Jm"), 3.3e-5);
  EXPECT_EQ(setup.GetDLMaxConnectorValue(), 1);
  EXPECT_EQ(setup.GetOptionNoError("ReferenceName"), "KSTA");
}

TEST_F(DefaultSetup, EmbeddedTextIsTheCanonicalFile) {
  EXPECT_EQ(drivebase::SerializeSetup(setup), DefaultSetupText());
}

}  // namespace
}  // namespace kestrel
