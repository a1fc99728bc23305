// The analogue reference test: on the simulated drive it follows the potentiometer turned from 0 to
// 10 V in 3 s, the voltage and the command of each tick agreeing with the input and with each
// other, the bars drawn from their reference; the spans and bars of each control mode and input
// range from the ADC's ends; External Reference's Test opens it.
#include <array>
#include <cmath>

#include "commissioning/save_question.h"
#include "commissioning/test_analogue_ref.h"
#include "commissioning/test_catalogue.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "drivebase/numeric.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

// External Reference's Test opens the test for an analogue reference.
TEST_F(Bench, FollowsThePotentiometerTurnedFromZeroToTenVolts) {
  ConnectSimulator();
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  drivesim::Drive& drive = simulator_->SimulatedDrive();
  // Position mode in rot: the command spans POS_min … POS_max as the user reads them.
  const double lower = setup_.GetParameterValue("POS_min"), upper = setup_.GetParameterValue("POS_max");
  double turnedAt_s = 0.0;
  int ticksSeen = 0;
  const auto now_s = [] { return static_cast<double>(ui::CurrentEventLoop().Clock().Now().count()) / 1000.0; };
  user_.Click(3290)
      .Click(1000)
      .Expect(ui::TopDialogIs("Analogue Reference Test"))
      .Click(drivebase::kStartStopButton)
      .Wait(Milliseconds(100))
      .Do("turn the potentiometer", [&](ui::DialogDriver&) {
        drive.RunUntil(now_s());
        turnedAt_s = now_s();
        ASSERT_TRUE(drive.RampAnalogInput_V(0.0, 10.0, 3.0).ok());
      });
  for (int look = 0; look < 17; ++look) {
    user_.Wait(Milliseconds(200)).Do("compare with the input", [&](ui::DialogDriver& dialog) {
      const double volts = std::stod(dialog.Text(CTestAnalogueRef::kVoltageEdit));
      const double command = std::stod(dialog.Text(CTestAnalogueRef::kCommandEdit));
      // The tick shows what the input was at most one tick (and one slow sample) ago.
      EXPECT_NEAR(volts, std::min(10.0, 10.0 * (now_s() - turnedAt_s) / 3.0), 0.1) << "at " << now_s() << " s";
      // Both come from one count: the command is where the voltage stands in the ±10 V span.
      EXPECT_NEAR(command, lower + (upper - lower) * (volts + 10.0) / 20.0, 0.006 * (1.0 + (upper - lower) / 20.0));
      EXPECT_EQ(TopTest<CTestAnalogueRef>().VoltageBar().Value(), volts);
      ++ticksSeen;
    });
  }
  std::string outcome;
  user_.Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome", [&](ui::DialogDriver& dialog) { outcome = dialog.Text(drivebase::kOutcomeText); })
      .Close(IDCANCEL)
      .Expect(ui::TopDialogIs("External Reference Setup"))
      .Close(IDCANCEL);
  RunSetupDialogAlone(&setup_, "reference");
  EXPECT_EQ(ticksSeen, 17);
  EXPECT_EQ(outcome, "Test passed");
  EXPECT_FALSE(drive.ProgramRunning());
}

// A count read from the input, and what each view shows for it.
struct SpanCase {
  const char* name;
  double inputRange;  // AnalogueInputsRange, V
  int controlMode;      // 3: a mode without an analogue command
  double lower, upper;  // the command's span in its display unit
  std::uint32_t fullScale;
  double count;  // AD5
  const char* volts;
  const char* command;  // "" hidden
  double barLower, barUpper, barReference;
};

class Spans : public Bench, public ::testing::WithParamInterface<SpanCase> {};

TEST_P(Spans, PlaceTheCountInTheVoltageAndTheCommand) {
  const SpanCase& c = GetParam();
  drivebase::DriveFamilyData family = setup_.DriveFamily();
  family.adcFullScale = c.fullScale;
  setup_.SetDriveFamily(family);
  setup_.SetParameterValueInBaseUnit("AnalogueInputsRange", c.inputRange);
  // A drive family with a fourth mode, which has no analogue command.
  ASSERT_TRUE(setup_.FindParameter("ControlMode")->SetMaxInBaseUnit(3));
  ASSERT_TRUE(setup_.FindParameter("ControlMode")->SetValueInInternalUnit(c.controlMode));
  constexpr std::array<std::array<const char*, 2>, 3> kEnds{
      {{"POS_min", "POS_max"}, {"SPD_min", "SPD_max"}, {"CRT_min", "CRT_max"}}};
  if (c.controlMode < 3) {
    ASSERT_TRUE(setup_.FindParameter(kEnds[c.controlMode][0])->SetValueInDisplayUnit(c.lower));
    ASSERT_TRUE(setup_.FindParameter(kEnds[c.controlMode][1])->SetValueInDisplayUnit(c.upper));
  }
  ScriptedDrive drive;
  drive.values["AD5"] = {c.count, 1};
  CMC_Comm::SetActiveLink(&drive);
  RegisterTestTemplates();
  CTestAnalogueRef test(&setup_, nullptr);
  user_.Click(drivebase::kStartStopButton)
      .Wait(Milliseconds(50))
      .Do("read the views",
          [&](ui::DialogDriver& dialog) {
            EXPECT_EQ(dialog.Text(CTestAnalogueRef::kVoltageEdit), c.volts);
            EXPECT_EQ(dialog.IsVisible(CTestAnalogueRef::kCommandEdit), *c.command != 0);
            if (*c.command == 0) return;
            EXPECT_EQ(dialog.Text(CTestAnalogueRef::kCommandEdit), c.command);
            EXPECT_DOUBLE_EQ(test.CommandBar().Lower(), c.barLower);
            EXPECT_DOUBLE_EQ(test.CommandBar().Upper(), c.barUpper);
            EXPECT_DOUBLE_EQ(test.CommandBar().Reference(), c.barReference);
            EXPECT_EQ(test.CommandBar().ValueText(), c.command);
          })
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Close(IDCANCEL);
  test.DoModal();
  EXPECT_EQ(test.Result(), 1);
  EXPECT_EQ(test.VoltageBar().Colour(), RGB(255, 0, 0));
  EXPECT_EQ(test.CommandBar().Colour(), RGB(0, 255, 0));
}

INSTANTIATE_TEST_SUITE_P(
    ControlModes, Spans,
    ::testing::Values(
        SpanCase{"PositionAtTheBottom", 20, 0, -4, 4, 65472, 0, "-10.00", "-4.00", -4, 4, 0},
        SpanCase{"SpeedAtTheTop", 5, 1, 100, 200, 65472, 65472, "5.00", "200.00", 100, 200, 100},
        SpanCase{"CurrentHalfway", 10, 2, -2, 3, 65472, 32736, "1.65", "0.50", -2, 3, 0},
        // A negative scale: the span runs from 1 down to −1, the bar from −1 up to 1.
        SpanCase{"NegativePositionScale", 20, 0, 1, -1, 65472, 0, "-10.00", "1.00", -1, 1, 0},
        // A 16-bit ADC: its full count is the top of the span (with 65472 it would read 10.02 V).
        SpanCase{"SixteenBitAdc", 20, 1, -300, 300, 65535, 65535, "10.00", "300.00", -300, 300, 0},
        SpanCase{"NoAnalogueCommand", 20, 3, 0, 0, 65472, 49104, "5.00", "", 0, 0, 0}),
    [](const auto& span) { return std::string(span.param.name); });

}  // namespace
}  // namespace kestrel::commissioning_test
