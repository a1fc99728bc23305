#include "commissioning/test_speed_tuning.h"

#include "compute/tuning.h"

const TuningLoop CTestSpeedTuning::kLoop{
    .templateId = kTemplateId,
    .helpContext = 0x40102,
    .purpose = "Checks speed controller response.",
    .procedure = "1. Check/setup the test current limits and speed profile below\r\n"
                 "2. Go to the \"Test\" tab and press the \"Tune\" button\r\n"
                 "3. Check/identify the total inertia, then set the desired passband and tune the controller\r\n"
                 "4. Press the \"Start\" button\r\n5. Wait until the test begins and displays the results\r\n"
                 "6. If needed, change the controller parameters during the test, until you get satisfactory results",
    .profileKind = kestrel::ProfileKind::speed,
    .onlinePlot = "OnlinePlotS",
    .multiCycle = "MultiCycleS",
    .referenceType = "SpeedTestReferenceType",
    .distance = "TestSpeed",
    .distanceEdit = 1320,
    .distanceUnit = 1321,
    .times = {"TaPS", "TPS", "TaNS", "TNS"},
    .mainProgram = "Speed_Controller_Tuning_Test",
    .mainProgramDirect = nullptr,
    .tunedGains = {kestrel::kSpeedProportional, kestrel::kSpeedIntegral},
    .tune = &TuneSpeedController,
    .liveChains = {{"Kp_S_scl", {"SFTKPS", "KPS"}},
                   {"Ki_S_scl", {"SFTKIS", "KIS"}},
                   {"IPSatS", {"IMAXS"}},
                   {"KFFS_scl", {"SFTSFFW", "KFFS", "KFFA"}},
                   {"KFFA_scl", {"SFTAFFW", "SFTKFF", "KFFA"}}},
    .integralLimit = "IPSatS",
    .passband = "PB_S",
    .liveVariables = {"Speed_Reference", "Load_Speed"},
    .liveValueIds = {1364, 1366},
    .scopeOption = "SpeedTuningOscSettings",
    .plotName = "SpeedTuning",
    .identifyButton = 3271,
};

CTestSpeedTuning::CTestSpeedTuning(CMC_Setup* setup, CWnd* parent) : CTuningTest(setup, kLoop, parent) {}
