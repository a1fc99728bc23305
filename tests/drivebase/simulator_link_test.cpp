// The drive link over the simulated drive, used as a commissioning test uses it: through
// CMC_Comm, the setup's variables and registers, program images and launches, on the dialog
// framework's clock.
#include "drivesim_link/simulator_link.h"

#include <numbers>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "drivebase/program_launch.h"
#include "drivesim/catalogue.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"

namespace drivesim::link {
namespace {

using ::testing::HasSubstr;
using Ms = ui::Milliseconds;

class SimulatedDrive : public ::testing::Test {
 protected:
  SimulatedDrive() {
    ui::SetCurrentEventLoop(&loop_);
    link_ = ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(link_.get());
  }
  ~SimulatedDrive() override {
    CMC_Comm::SetActiveLink(nullptr);
    ui::SetCurrentEventLoop(nullptr);
  }

  Ms Now() const { return loop_.Clock().Now(); }

  CMC_CoffFormat Image(const std::string& program) {
    CMC_CoffFormat image;
    image.SetFileName(drivebase::ProgramImagePath(program).string());
    EXPECT_TRUE(image.ReadCoff()) << image.GetLoadError();
    return image;
  }

  double Program(const CMC_CoffFormat& image, const char* name) {
    double value = 0;
    EXPECT_TRUE(drivebase::GetUserVariable(image, name, value, error_)) << error_;
    return value;
  }

  double Drive(const char* name) {
    CMC_Variable* variable = setup_.FindVariable(name);
    EXPECT_NE(variable, nullptr) << name;
    EXPECT_TRUE(variable->ReadFromChip()) << CMC_Comm::GetLastErrorText();
    return variable->GetValueInInternalUnit();
  }

  // Polls the program as the test base does, every 20 ms: STARTED, then the axis state.
  void WaitForTheEnd(const CMC_CoffFormat& image, Ms limit = Ms(10000)) {
    const Ms end = Now() + limit;
    while (Now() < end) {
      loop_.AdvanceBy(Ms(20));
      int on = 1;
      if (Program(image, "STARTED") != 0 && CMC_Comm::GetAxisOn(on) && on == 0) return;
    }
    FAIL() << image.Descriptor().name << " did not end";
  }

  void Launch(CMC_CoffFormat& image, const drivebase::LoggerSettings* logger = nullptr) {
    ASSERT_TRUE(drivebase::ExecuteProgram(setup_, image.Descriptor().name, &image, logger))
        << CMC_Comm::GetLastErrorText();
  }

  ui::EventLoop loop_{ui::DefaultMessageBoxes()};
  DialogClock clock_;
  CMC_Setup setup_ = kestrel::LoadDefaultSetup();
  std::unique_ptr<SimulatorLink> link_;
  std::string error_;
};

// Each transaction answers one link latency (1 ms) after it was sent, and the next one leaves
// no earlier than that answer.
TEST_F(SimulatedDrive, EveryTransactionAnswersOneLatencyLater) {
  EXPECT_EQ(CMC_Comm::GetActiveLink().Description(), "simulator (motor: built-in default motor)");
  loop_.AdvanceBy(Ms(5));
  Drive("MER");
  EXPECT_EQ(Now(), Ms(6));
  int on = 1;
  ASSERT_TRUE(CMC_Comm::GetAxisOn(on));
  EXPECT_EQ(on, 0);
  EXPECT_EQ(Now(), Ms(7));
  ASSERT_TRUE(setup_.FindVariable("var_i2")->WriteToChip());
  EXPECT_FALSE(setup_.ExecuteString("!NO;SUCH;"));
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("The drive refused the command '!NO;SUCH;'"));
  EXPECT_EQ(Now(), Ms(9)) << "a refused transaction still makes its round trip";
  EXPECT_NEAR(link_->SimulatedDrive().Now_s(), 0.008, 50e-6) << "the command acted when it was sent (PWM grid)";
  ASSERT_TRUE(CMC_Comm::ResetActiveBoard());
  EXPECT_EQ(Now(), Ms(10));
}

// A value written through the link reads back as the drive holds it; a register changed in the
// setup just before a launch reaches the drive with the launch.
TEST_F(SimulatedDrive, VariablesAndRegistersReachTheDrive) {
  ASSERT_TRUE(setup_.FindVariable("var_i2")->SetValueInInternalUnit(-3));
  ASSERT_TRUE(setup_.FindVariable("var_i2")->WriteToChip());
  ASSERT_TRUE(setup_.FindVariable("var_i2")->SetValueInInternalUnit(0));
  EXPECT_EQ(Drive("var_i2"), -3);

  CMC_CoffFormat preliminary = Image("IE_Initial_Positioning_Test");
  ASSERT_TRUE(setup_.SetParameterValueInInternalUnit("KPI", 12345));
  Launch(preliminary);
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("KPI"), 12345);
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("PWMPER"), setup_.GetParameterValueInInternalUnit("PWMPER"));
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("R"), std::nullopt) << "motor data are no register";
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("TestCurrent"), std::nullopt);

  // An unsigned 32-bit register travels as its bits and reads back unsigned.
  ASSERT_TRUE(setup_.SetParameterValueInInternalUnit("ERRMAXL", 3000000000.0));
  Launch(preliminary);
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("ERRMAXL"), 3000000000LL - 4294967296LL);
  EXPECT_EQ(Drive("ERRMAXL"), 3000000000.0);

  // Gains written while the program runs go to the register file.
  ASSERT_TRUE(setup_.SetParameterValueInInternalUnit("KPI", 20000));
  ASSERT_TRUE(setup_.FindParameter("KPI")->WriteToChip());
  EXPECT_EQ(link_->SimulatedDrive().ReadRegister("KPI"), 20000);

  double value = 0;
  EXPECT_FALSE(CMC_Comm::ReadValue("NO_SUCH_VALUE", 1, value));
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "The drive has no variable or register 'NO_SUCH_VALUE' to read");
}

// The drive's configuration travels with every launch: with the motor sensor on the second
// feedback input, that input's counting direction (COUNTINGDIR_LD) turns the motor's count round.
TEST_F(SimulatedDrive, TheMotorSensorCountsOnTheInputTheSetupNames) {
  ASSERT_TRUE(setup_.SetParameterValueInInternalUnit("MotorSensorConnector", 1));
  ASSERT_TRUE(setup_.SetParameterValueInInternalUnit("COUNTINGDIR_LD", 1));
  CMC_CoffFormat preliminary = Image("IE_Initial_Positioning_Test");
  Launch(preliminary);
  WaitForTheEnd(preliminary);
  const double before = Drive("APOS_MT");
  link_->SimulatedDrive().HandTurn(2 * std::numbers::pi, 0.5);
  loop_.AdvanceBy(Ms(1000));
  // The hand leaves the shaft within a count of the full turn.
  EXPECT_NEAR(Drive("APOS_MT") - before, -8000, 1) << "2000 lines, one turn, counted down on the second input";
}

// The preliminary stage and the current step, run as the current tuning test runs them: the
// preliminary's voltage handed on, the logger's points fitted and uploaded at the link's pace.
TEST_F(SimulatedDrive, RunsThePreliminaryStageAndTheCurrentStep) {
  const double testCurrent = std::trunc(setup_.GetParameterValueInInternalUnit("TestCurrent"));
  CMC_CoffFormat preliminary = Image("IE_Initial_Positioning_Test");
  CMC_CoffFormat step = Image("IE_Current_Controller_Tuning_Test");
  ASSERT_TRUE(drivebase::SetUserVariable(preliminary, "In1", testCurrent, error_));
  Launch(preliminary);
  WaitForTheEnd(preliminary);
  for (const auto& [name, value] : {std::pair{"RefTest", Drive("REFTST_V")}, {"RIncTest", Drive("RINCTST_V")},
                                    {"In1", testCurrent}, {"Imax_Prot_Test", 32767.0}}) {
    ASSERT_TRUE(drivebase::SetUserVariable(step, name, value, error_)) << error_;
  }
  drivebase::LoggerSettings logger{100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}};
  ASSERT_TRUE(CMC_Comm::FitLoggerPoints(logger));
  EXPECT_EQ(logger.points, 100);
  Launch(step, &logger);
  WaitForTheEnd(step);
  EXPECT_EQ(Program(step, "test_flag"), 1);
  EXPECT_EQ(Program(preliminary, "In1"), testCurrent) << "the preliminary image is no longer on the drive";

  std::vector<drivebase::LoggedPoint> points;
  const Ms before = Now();
  ASSERT_TRUE(CMC_Comm::UploadLog(points));
  EXPECT_EQ(Now() - before, Ms(5)) << "100 points of 3 words: ceil(300/64) latencies";
  ASSERT_EQ(points.size(), 100u);
}

TEST_F(SimulatedDrive, RefusesImagesOfAnotherVersionAndUnknownPrograms) {
  CMC_CoffFormat image = Image("IE_Initial_Positioning_Test");
  drivebase::ProgramDescriptor descriptor = image.Descriptor();
  ++descriptor.version;
  drivebase::ProgramLaunch launch{descriptor.name, descriptor.version, drivebase::SetupRegisters(setup_), {}, {}, {}};
  EXPECT_EQ(CMC_Comm::Launch(launch), 0u);
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("has version 2 but the drive runs version 1"));
  launch = {"IE_No_Such_Test", std::nullopt, drivebase::SetupRegisters(setup_), {}, {}, {}};
  EXPECT_EQ(CMC_Comm::Launch(launch), 0u);
  EXPECT_STREQ(CMC_Comm::GetLastErrorText(), "The drive has no program 'IE_No_Such_Test'");
  launch = {"IE_Initial_Positioning_Test", std::nullopt, {}, {}, {}, {}};
  EXPECT_EQ(CMC_Comm::Launch(launch), 0u);
  EXPECT_THAT(CMC_Comm::GetLastErrorText(), HasSubstr("The drive refused to launch 'IE_Initial_Positioning_Test': register PWMPER"));
}

// Every program of the catalogue has its image, built from the catalogue, beside the binaries.
TEST(ProgramImagesOfTheCatalogue, LoadAndAgreeWithTheCatalogue) {
  for (const ProgramDescriptor& program : ProgramCatalogue()) {
    CMC_CoffFormat image;
    ASSERT_TRUE(image.ReadCoff(drivebase::ProgramImagePath(program.name).string())) << image.GetLoadError();
    EXPECT_EQ(image.Descriptor().version, program.version);
    ASSERT_EQ(image.Descriptor().variables.size(), program.variables.size()) << program.name;
    for (std::size_t i = 0; i < program.variables.size(); ++i) {
      EXPECT_EQ(image.Descriptor().variables[i].name, program.variables[i].name);
      EXPECT_EQ(drivebase::SizeInWords(image.Descriptor().variables[i].type), program.variables[i].size_words);
    }
  }
}

}  // namespace
}  // namespace drivesim::link
