// The serial absolute encoder tests: the offset within one electrical period of 2^min(B, 16)/pp
// counts, exact on the simulated drive and kept on Yes; the connections on either side.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commissioning/test_catalogue.h"
#include "commissioning/test_ssi_connections.h"
#include "commissioning/test_ssi_offset.h"
#include "dialogs/dialog_opener.h"
#include "dialogs/dialog_resources.h"
#include "dialogs/my_setup_dlg.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

using ui::Milliseconds;

// bits, pole pairs, the drive's offset → the period (0: none) and the offset. 40000 is the rest of
// an encoder reading 80001 of 2^17, in 16-bit units, with 4 pole pairs: 7232 whatever the bits
// beyond 16, 40 included; 50000 gives 848, not the 17232 that a period of 2^B/pp would keep. A
// negative offset and pole pairs below 1 are refused by the test below.
TEST(SerialEncoderOffset, ReducesTheDriveOffsetToOneElectricalPeriod) {
  struct Case {
    double bits, pairs, driveOffset;
    std::int64_t period, offset;
  };
  for (const Case& c : {Case{16, 4, 40000, 16384, 7232}, {40, 4, 40000, 16384, 7232}, {17, 4, 50000, 16384, 848},
                        {12, 4.9, 1000, 1024, 1000}, {16, 3, 65535, 21845, 0}, {1, 4, 1, 0, 0}}) {
    const auto found = ReduceSerialEncoderOffset(c.bits, c.pairs, c.driveOffset).value_or(SerialEncoderOffset{});
    EXPECT_EQ(found.period, c.period) << c.bits << " bits, " << c.pairs << " pairs";
    EXPECT_EQ(found.offset, c.offset) << c.bits << " bits, " << c.pairs << " pairs";
  }
}

// The shipped motor's serial encoder of 17 bits reading 0° at θ_m = 0 made one of `bits` reading
// 37°, in a motor file where the simulated drive can load it.
std::filesystem::path SerialMotorFile(const std::string& motor, int bits) {
  std::stringstream text;
  text << std::ifstream(std::filesystem::path(KESTREL_MOTORS_DIR) / (motor + ".json")).rdbuf();
  std::string json = text.str();
  const auto replace = [&json](const std::string& from, const std::string& to) {
    json.replace(json.find(from), from.size(), to);
  };
  replace("\"single_turn_bits\": 17", "\"single_turn_bits\": " + std::to_string(bits));
  replace("\"offset_deg\": 0.0", "\"offset_deg\": 37.0");
  const auto file = std::filesystem::temp_directory_path() / ("kestrel_" + motor + std::to_string(bits) + ".json");
  std::ofstream(file) << json;
  return file;
}

struct OffsetCase {
  const char* motor;  // setup and motor file
  int bits;
  int answer;  // to the question on closing
};

class SerialEncoderOffsetRun : public Bench, public ::testing::WithParamInterface<OffsetCase> {};

// The encoder reads 37° at θ_m = 0; with 4 pole pairs one electrical period is a quarter turn, so
// its offset is its reading at 37° within a quarter turn, in min(B, 16)-bit units.
TEST_P(SerialEncoderOffsetRun, FindsTheOffsetExactlyAndKeepsItOnYes) {
  const OffsetCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.motor);
  setup_.SetParameterValueInBaseUnit("SSI_No_Bits_Revolution", c.bits);
  setup_.SetParameterValueInBaseUnit("SSI_Offset", 3);
  simulator_ = drivesim::link::ConnectSimulator(setup_, {SerialMotorFile(c.motor, c.bits), std::nullopt}, clock_);
  CMC_Comm::SetActiveLink(simulator_.get());
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  std::string purpose, shown, kept;
  user_.Click(3451)
      .Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, Milliseconds(20000))
      .ExpectText(drivebase::kOutcomeText, "Test passed")
      .Do("note the test's texts", [&](ui::DialogDriver& dialog) {
        purpose = dialog.Text(drivebase::kPurposeText);
        shown = dialog.Text(CTestSSIEncoderOffset::kOffsetEdit);
      })
      .Close(IDCANCEL)
      .Answer(c.answer)
      .Expect(ui::TopDialogIs("Brushless Motor Setup"))
      .Do("read the offset", [&](ui::DialogDriver& dialog) { kept = dialog.Text(3449); })
      .Close(IDOK);
  EXPECT_EQ(RunSetupDialogAlone(&setup_, "motor"), IDOK);
  BringLayersToAgree(&setup_);  // as Drive Setup's OK computes the registers

  const double turn = std::ldexp(1.0, std::min(c.bits, 16));
  const double expected = std::fmod(std::floor(turn * 37.0 / 360.0), turn / 4.0);
  const std::string protocol = std::string_view(c.motor) == "biss" ? "BiSS" : "SSI";
  EXPECT_EQ(purpose, "Identifies the " + protocol + " offset.");
  EXPECT_NEAR(std::stod(shown), expected, 1.0);
  EXPECT_NE(LastBox().find("\r\nEncoder offset:\tOld = 3\tNew = " + shown + "\r\n"), std::string::npos) << LastBox();
  const double offset = c.answer == IDYES ? std::stod(shown) : 3.0;
  EXPECT_EQ(kept, c.answer == IDYES ? shown : "3");
  EXPECT_EQ(Internal("ZAOFF"), offset);
  EXPECT_EQ(Value("SSI_Offset"), offset);
}

INSTANTIATE_TEST_SUITE_P(Encoders, SerialEncoderOffsetRun,
                         ::testing::Values(OffsetCase{"ssi", 12, IDYES}, OffsetCase{"ssi", 17, IDYES},
                                           OffsetCase{"ssi", 20, IDYES}, OffsetCase{"biss", 17, IDNO}),
                         [](const auto& p) { return std::string(p.param.motor) + "_" + std::to_string(p.param.bits); });

// Offsets that cannot be kept fail without touching the setup: a negative one read from the
// drive, and a pole-pair count below 1 (no electrical period). A run that found 7232 before the
// failed one leaves nothing behind either once the test is closed.
TEST_F(Bench, AnOffsetThatCannotBeReducedLeavesTheSetupAlone) {
  for (const auto& [driveOffset, pairs, error] :
       {std::tuple{-40000.0, 4.0, "The encoder offset read from the drive (-7232) lies outside one electrical period "
                                  "(0 to 16383)."},
        {40000.0, 0.0, CMC_TestDlg::msc_pszErrInternal}}) {
    setup_ = test_support::ScaledSetupFile("ssi");
    setup_.FindParameter("pp")->SetMinInBaseUnit(0.0);
    setup_.SetParameterValueInBaseUnit("pp", pairs);
    ScriptedDrive drive;
    drive.values.insert({{"var_i1", {1, 1}}, {"ZAOFF", {40000, 2}}});
    CMC_Comm::SetActiveLink(&drive);
    std::string failure;
    user_.Click(drivebase::kStartStopButton)
        .WaitUntil(RunEnded())
        .Do("the drive reads another offset", [&](ui::DialogDriver&) { drive.values["ZAOFF"].first = driveOffset; })
        .Click(drivebase::kStartStopButton)
        .WaitUntil(RunEnded())
        .Do("note the error", [&](ui::DialogDriver&) { failure = TopTest().ErrorText(); })
        .Close(IDCANCEL);
    EXPECT_EQ(RunTestAlone(&setup_, "ssi-offset"), IDCANCEL);
    EXPECT_EQ(failure, error);
    EXPECT_EQ(Internal("ZAOFF"), 0.0);
  }
}

// The pole pairs changed to 2 in the test: the drive's 20000 lies within one electrical period
// of 32768 counts and is kept on Yes through the recompute, although the registers still hold 4.
TEST_F(Bench, AnOffsetFoundWithThePolePairsChangedInTheTestIsKept) {
  setup_ = test_support::ScaledSetupFile("ssi");
  ScriptedDrive drive;
  drive.values.insert({{"var_i1", {1, 1}}, {"ZAOFF", {20000, 2}}});
  CMC_Comm::SetActiveLink(&drive);
  user_.Type(CTestSSIEncoderOffset::kPolePairsEdit, "2")
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .ExpectText(CTestSSIEncoderOffset::kOffsetEdit, "20000")
      .Close(IDCANCEL)
      .Answer(IDYES);
  EXPECT_EQ(RunTestAlone(&setup_, "ssi-offset"), IDOK);
  EXPECT_EQ(Internal("ZAOFF"), 20000.0);
  EXPECT_EQ(Value("SSI_Offset"), 20000.0);
}

// Opened from Motor Setup on the motor's (3452) or the load's (3472) side. The first reading (5)
// is where the encoder stands, then the shaft turns to `last`: only a change to a non-zero
// position within the revolution is a pulse, 2^17 counts on the motor, here 2^12 on the load.
TEST_F(Bench, EncoderConnectionsPassOnlyOnceThePositionChangedToANonZeroValue) {
  RegisterDialogTemplates();
  RegisterCommissioningTests();
  for (const auto& [setup, button, last, passed] :
       {std::tuple{"ssi", 3452, 5.0, false}, {"ssi", 3452, 131072.0, false}, {"biss", 3452, -131071.0, true},
        {"dual_loop", 3472, 4096.0, false}, {"dual_loop", 3472, 4097.0, true}}) {
    setup_ = test_support::ScaledSetupFile(setup);
    const bool load = button == 3472;
    if (load) {  // a serial load encoder; the motor has no Hall sensors for the drive to miss
      setup_.SetParameterValueInBaseUnit("LoadSensorType", 5);
      setup_.SetParameterValueInBaseUnit("isHallsensors", 0);
      setup_.SetParameterValueInBaseUnit("SSI_No_Bits_Revolution_LD", 12);
    }
    const char* variable = load ? "APOS_LD" : "APOS_MT";
    ScriptedDrive drive;
    drive.values.insert({{variable, {5, 2}}, {"var_i2", {0, 1}}});
    CMC_Comm::SetActiveLink(&drive);
    std::string purpose, position, error;
    double theta = 0.0;  // of the dial
    user_.Click(button)
        .Click(drivebase::kStartStopButton)
        .Wait(Milliseconds(100))
        .Do("the shaft turns", [&](ui::DialogDriver&) { drive.values[variable].first = last; })
        .Wait(Milliseconds(100))
        .Do("note the position", [&](ui::DialogDriver& dialog) {
          purpose = dialog.Text(drivebase::kPurposeText);
          position = dialog.Text(CTestSSIEncoderConnections::kPositionEdit);
          theta = TopTest<CTestSSIEncoderConnections>().Diagram().Theta();
        })
        .Click(drivebase::kStartStopButton)
        .WaitUntil(RunEnded())
        .Do("note the outcome", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
        .Close(IDCANCEL)
        .Close(IDCANCEL);
    RunSetupDialogAlone(&setup_, "motor");
    const std::string protocol = std::string_view(setup) == "biss" ? "BiSS" : "SSI";
    EXPECT_EQ(purpose, "Checks position reading from the " + protocol + " encoder.");
    EXPECT_EQ(position, std::to_string(std::lround(last)));  // read from the side's variable
    EXPECT_DOUBLE_EQ(theta, 2.0 * last * M_PI / std::ldexp(1.0, load ? 12 : 17));
    EXPECT_EQ(error, passed ? "" : CTestSSIEncoderConnections::kNoPulsesText) << setup << " " << last;
    EXPECT_EQ(drive.values["var_i2"].first, passed ? 1.0 : 0.0);  // the program is ended after a success
  }
}

}  // namespace
}  // namespace kestrel::commissioning_test
