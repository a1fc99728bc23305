// The electric-angle controller test: the motionless start on the simulated drive with the shipped
// gains (the angle settles at −16384 ± 1820), each failure's text from the physics behind it, the
// sliders' range, the live gain writes, the refused tab and Drive Setup's button.
#include <cmath>
#include <filesystem>

#include "commissioning/test_angle.h"
#include "commissioning/test_catalogue.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/drive_setup_dlg.h"
#include "drivebase/gui_resources.h"
#include "drivebase/program_image.h"
#include "drivesim_link/program_images.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

CTestAngle& AngleTest() { return TopTest<CTestAngle>(); }

// What the drive cannot show: a fractional theta_1 printed truncated, a code the test does not
// know (a pass), and no value at all.
TEST(AngleJudgement, PrintsTheta1TruncatedAndPassesUnknownCodes) {
  const std::string atMinus16000 =
      "Test failed!\n\nIf the Test current doesn\u2019t decreases to zero, increase/decrease Kp and/or Ki parameters.\n"
      "If the Test current decreases to zero but the Electric_Angle graph does not stabilize to a value close to -16000 "
      "with a tolerance of +/- 1820 (equivalent to +/- 10 electrical degrees), you have to fine tune the Kp and/or Ki "
      "parameters until it does.\nSee Electric Angle Controller Tuning Help for details";
  EXPECT_EQ(CTestAngle::JudgeRun(-2.0, -16000.7).failure, atMinus16000);
  EXPECT_FALSE(CTestAngle::JudgeRun(7.0, std::nullopt).failure.has_value());
  EXPECT_EQ(CTestAngle::JudgeRun(drivebase::kNoValue, std::nullopt).failure, CMC_TestDlg::msc_pszErrInternal);
}

struct RunCase {
  const char* name;
  const char* setup;                               // the setup and its motor file
  void (*prepare)(CMC_Setup&, drivesim::Drive&);  // null: as shipped
  const char* failureBegins;                       // null: the run passes
  bool hint = false;
  const char* fault = nullptr;                     // a program fault, in the drive and its images
};

class AngleRun : public Bench, public ::testing::WithParamInterface<RunCase> {};

// Passed runs: theta_1 and the last logged angle lie within 1820 of −16384 (the rotor at θ_e = 0
// where the simulated motor starts). Failed runs: the text of what the drive found, and Details
// with the help on tuning the controller after an unsettled angle.
TEST_P(AngleRun, SettlesAtMinus16384OrSaysWhyNot) {
  const RunCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.setup);
  const std::string motor = std::string(KESTREL_MOTORS_DIR) + "/" + c.setup + ".json";
  simulator_ = drivesim::link::ConnectSimulator(setup_, {motor, std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  if (c.prepare) c.prepare(setup_, simulator_->SimulatedDrive());
  if (c.fault != nullptr) {
    ASSERT_TRUE(simulator_->SimulatedDrive().InjectFault(c.fault).ok());
    const std::filesystem::path images = std::filesystem::path(::testing::TempDir()) / "angle_faulty_images";
    drivesim::link::WriteProgramImages(images, simulator_->SimulatedDrive().InjectedFaults());
    drivebase::SetProgramDirectory(images);
  }
  const std::filesystem::path plots = std::filesystem::path(::testing::TempDir()) / "angle_plots";
  std::filesystem::create_directories(plots);
  drivebase::SetPlotDirectory(plots.string());
  std::string error;
  double lastAngle = 0.0;
  std::optional<double> theta1;
  const std::size_t helpBefore = drivebase::HelpRequests().size();
  user_.SelectTab(CTestAngle::kTabs, 1)
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded(), Milliseconds(20'000))
      .Do("note the run", [&](ui::DialogDriver&) {
        error = AngleTest().ErrorText();
        theta1 = AngleTest().Theta1();
        EXPECT_EQ(AngleTest().HintShown(), c.hint);
        const CGraphDocument& logged = AngleTest().Logger()->GetGraphDocument();
        if (logged.RowCount() > 0) lastAngle = logged.Value(logged.RowCount() - 1, 2);
      });
  if (c.failureBegins != nullptr) user_.Click(drivebase::kDetailsButton).Answer(c.hint ? IDHELP : IDOK);
  user_.Click(CTestAngle::kSavePlots).Close(IDCANCEL);
  EXPECT_EQ(RunTestAlone(&setup_, "angle"), IDCANCEL);
  if (c.fault != nullptr) drivebase::SetProgramDirectory({});
  EXPECT_TRUE(std::filesystem::exists(plots / "ElectricAngleTuning.svg"));
  EXPECT_EQ(drivebase::HelpRequests().size(), helpBefore + (c.hint ? 1u : 0u));
  if (c.hint) { EXPECT_EQ(drivebase::HelpRequests().back().page.filename(), "angle-controller.md"); }
  if (c.failureBegins != nullptr) {
    EXPECT_TRUE(error.starts_with(c.failureBegins)) << error;
    return;
  }
  EXPECT_EQ(error, "");
  EXPECT_NEAR(theta1.value_or(0.0), -16384.0, 1820.0);
  EXPECT_NEAR(lastAngle, -16384.0, 1820.0);
}

// Ki 64 times the shipped one (SFTKITHT 0 → 6) rings; a hand that holds the shaft (5000 N·m/rad)
// lets it turn less than 0.5° electrical; a 0.5 A protection trips under the 1.6 A test current;
// a 10 V supply under the 12 V under-voltage protection (MER 0x2000, outside the run's mask) ends
// the program before it judges the run.
void RingingIntegral(CMC_Setup& setup, drivesim::Drive&) { setup.SetParameterValueInBaseUnit("Ki_T_scl", 3.2); }

INSTANTIATE_TEST_SUITE_P(
    Motors, AngleRun,
    ::testing::Values(
        RunCase{"default_motor", "default", nullptr, nullptr}, RunCase{"sincos_motor", "sincos", nullptr, nullptr},
        RunCase{"protection", "default",
                [](CMC_Setup& setup, drivesim::Drive&) { setup.SetParameterValueInBaseUnit("Imax_Prot", 0.5); },
                CTestAngle::kProtectionText},
        RunCase{"blocked_shaft", "default",
                [](CMC_Setup&, drivesim::Drive& drive) {
                  ASSERT_TRUE(drive.SetHandCoupling(5000.0, 5.0).ok());
                  drive.HandHold();
                },
                CTestAngle::kTooLittleCurrentText},
        RunCase{"ringing_integral", "default", &RingingIntegral, "Test failed!\n\nIf the Test current", true},
        RunCase{"supply_below_under_voltage_protection", "default",
                [](CMC_Setup&, drivesim::Drive& drive) { ASSERT_TRUE(drive.SetSupply_V(10.0).ok()); },
                "Drive error (MER = 0x2000)."},
        RunCase{"ssi_encoder_has_no_program", "ssi", nullptr, CTestAngle::kNoProgramText},
        RunCase{"ringing_without_theta_1", "default", &RingingIntegral, CTestAngle::kNotStabilizedText, true,
                "program_lacks IE_Angle_Controller_Tuning_Test theta_1"}),
    [](const auto& param) { return std::string(param.param.name); });

// A drive whose angle program runs (axis on) until the test ends it, recording the writes of
// registers and refusing SFTKITHT.
class LiveDrive : public ScriptedDrive {
 public:
  bool GetAxisOn(bool& on) override {
    on = !stopped;
    return true;
  }
  bool StopProgram() override { return stopped = true; }
  bool WriteValue(std::string_view name, double internal, int words) override {
    written.emplace_back(name);
    if (name == "SFTKITHT") return Fail("drive refused 'SFTKITHT'");
    return ScriptedDrive::WriteValue(name, internal, words);
  }
  bool stopped = false;
  std::vector<std::string> written;
};

class AngleControls : public Bench {};

// Kp 10 within limits 1 … 12: the slider spans max(1, 5) … min(12, 15) (the test is opened on
// the setup as it stands; an opener would compute the limits afresh). While the controller runs,
// a refreshed Kp sends its shift, then its mantissa; a refused shift keeps Ki's mantissa from the
// drive. OK and the gains' controls are locked, and the parameters' tab is refused.
TEST_F(AngleControls, SliderSpansItsRangeAndARunLocksTheGainsAndSendsThemShiftFirst) {
  LiveDrive drive;
  const drivebase::test_support::Connected connected(drive);
  CMC_Parameter* kp = setup_.FindParameter("Kp_T_scl");
  kp->SetMinInBaseUnit(1.0);
  kp->SetMaxInBaseUnit(12.0);
  setup_.SetParameterValueInBaseUnit("Kp_T_scl", 10.0);
  double low = 0.0, high = 0.0;
  std::vector<std::string> written;
  user_.SelectTab(CTestAngle::kTabs, 1)
      .Slide(1337, 0)
      .Do("at the left end", [&](ui::DialogDriver&) { low = Value("Kp_T_scl"); })
      .Slide(1337, 100)
      .Do("at the right end", [&](ui::DialogDriver&) { high = Value("Kp_T_scl"); })
      .Click(drivebase::kStartStopButton)
      .Wait(Milliseconds(60));
  for (const int id : {IDOK, 1335, 1336, 1337, 1338, 1340, 1341, 1342, 1343}) user_.Expect(ui::ControlEnabled(id, false));
  user_.Do("refresh the gains",
           [&](ui::DialogDriver&) {
             drive.written.clear();
             for (const char* gain : {"Kp_T_scl", "Ki_T_scl"}) AngleTest().OnRefreshParameterValue(gain);
             written = drive.written;
           })
      .SelectTab(CTestAngle::kTabs, 0)
      .Expect(ui::ControlVisible(drivebase::kStartStopButton, true))
      .Expect(ui::ControlVisible(3362, false))
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Close(IDCANCEL);
  RegisterTestTemplates();
  CTestAngle(&setup_, nullptr).DoModal();
  EXPECT_NEAR(low, 5.0, 1e-9);
  EXPECT_NEAR(high, 12.0, 1e-9);
  EXPECT_EQ(written, (std::vector<std::string>{"SFTKPTHT", "KPTHT", "SFTKITHT"}));
}

// Drive Setup offers Tune && Test for the motionless start only; a Kp moved to the slider's end
// and kept with OK comes back as the register pair that holds it.
TEST_F(AngleControls, DriveSetupOpensTheTestForTheMotionlessStartAndKeepsTheGainOnOk) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  double kpKept = 0.0, kpOfPair = 0.0;
  user_.WaitUntil(ui::TopDialogIs("Brushless Motor Setup"))
      .Close(IDCANCEL)
      .Expect(ui::ControlEnabled(3264, false))
      .Click(1098)
      .Expect(ui::ControlEnabled(3264, true))
      .Click(3264)
      .Expect(ui::TopDialogIs("Electric Angle Controller Tuning Test"))
      .SelectTab(CTestAngle::kTabs, 1)
      .Slide(1337, 100)
      .Close(IDOK)
      .Do("note Kp and its pair in Drive Setup", [&](ui::DialogDriver&) {
        kpKept = Value("Kp_T_scl");
        kpOfPair = Internal("KPTHT") * std::pow(2.0, Internal("SFTKPTHT")) / 32767.0;
      })
      .Close(IDCANCEL);
  CDriveSetupDlg driveSetup(&setup_, nullptr);
  ui::RunWithAgent(driveSetup, user_);
  EXPECT_NEAR(kpKept, 3.0, 1e-3);  // 1.5 times the shipped 2
  EXPECT_NEAR(kpKept, kpOfPair, 1e-12);
}

}  // namespace
}  // namespace kestrel::commissioning_test
