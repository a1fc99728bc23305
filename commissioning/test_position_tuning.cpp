#include "commissioning/test_position_tuning.h"

#include <cmath>

#include "compute/registers.h"
#include "compute/tuning.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::dialogs::Code;
using kestrel::dialogs::Value;

bool OverSpeedLoop(const CMC_Setup* setup) { return Code(setup, "PositionControlType") == 1; }

// The registers that follow the current limit.
void ComputeCurrentLimitRegisters(CMC_Setup* setup) {
  kestrel::ComputeIMAXS(setup);
  kestrel::ComputeSATS(setup);
  kestrel::ComputeSATP(setup);
}

}  // namespace

const TuningLoop CTestPositionTuning::kLoop{
    .templateId = kTemplateId,
    .helpContext = 0x40103,
    .purpose = "Checks position controller response.",
    .procedure = "1. Check/setup the test current limits and position profile below\r\n"
                 "2. Go to the \"Test\" tab and press the \"Tune\" button\r\n"
                 "3. Check/identify the total inertia, then set the desired passband and tune the controller\r\n"
                 "4. Press the \"Start\" button\r\n5. Wait until the test begins and displays the results\r\n"
                 "6. If needed, change the controller parameters during the test, until you get satisfactory results",
    .profileKind = kestrel::ProfileKind::position,
    .onlinePlot = "OnlinePlotP",
    .multiCycle = "MultiCycleP",
    .referenceType = "PositionTestReferenceType",
    .distance = "TestPosition",
    .distanceEdit = 1501,
    .distanceUnit = 1502,
    .times = {"TaPP", "TPP", "TaNP", "TNP"},
    .mainProgram = "Position_Controller_Tuning_Test_with_SpdCtrl",
    .mainProgramDirect = "Position_Controller_Tuning_Test_without_SpdCtrl",
    .tunedGains = {kestrel::kPositionProportional, kestrel::kPositionIntegral, kestrel::kPositionDerivative},
    .tune = &TunePositionController,
    .liveChains = {{"Kp_P_scl", {"SFTKPP", "KPP"}},
                   {"Ki_P_scl", {"SFTKIP", "KIP"}},
                   {"Kd_P_scl", {"SFTKDP", "KDP"}},
                   {"filter_D", {"KDFP"}},
                   {"IPSatP", {"IMAXP"}},
                   {"KFFS_scl", {"SFTSFFW", "KFFS", "KFFA"}},
                   {"KFFA_scl", {"SFTAFFW", "SFTKFF", "KFFA"}}},
    .integralLimit = "IPSatP",
    .passband = "PB_P",
    .liveVariables = {"Target_Position", "Load_Position"},
    .liveValueIds = {1518, 1520},
    .scopeOption = "PositionTuningOscSettings",
    .plotName = "PositionTuning",
    .identifyButton = 3305,
};

CTestPositionTuning::CTestPositionTuning(CMC_Setup* setup, CWnd* parent)
    : CTuningTest(setup, kLoop, parent), openingCurrentLimit_(Value(setup, "IlimPS")) {}

std::vector<const char*> CTestPositionTuning::LoggedVariables() const {
  if (OverSpeedLoop(GetSetup())) return {"Target_Position", "Load_Position", "Speed_Reference", "Load_Speed"};
  return {"Target_Position", "Load_Position", "Current_Reference", "Motor_Current"};
}

// The setup's current limit is the test's limit in both structures; over the speed loop the
// speed controller's registers follow it and the program gets the speed limit, directly on the
// current loop the program gets the limit itself.
void CTestPositionTuning::AddCurrentLimitInputs(std::vector<ProgramInput>& inputs) {
  CMC_Setup* setup = GetSetup();
  setup->SetParameterValueInBaseUnit("IlimPS", Value(setup, "TestLimitCurrent"));
  if (!OverSpeedLoop(setup)) return CTuningTest::AddCurrentLimitInputs(inputs);
  ComputeCurrentLimitRegisters(setup);
  const CMC_Parameter* speedLimit = setup->FindParameter("Limit_Speed");
  inputs.push_back({"LimitSpeed_Test", speedLimit != nullptr ? std::trunc(speedLimit->GetValueInInternalUnit()) : 0.0});
}

void CTestPositionTuning::RestoreSetupChangedForRun() {
  CMC_Setup* setup = GetSetup();
  setup->SetParameterValueInBaseUnit("IlimPS", openingCurrentLimit_);
  ComputeCurrentLimitRegisters(setup);
}
