// The serial absolute encoder tests. The offset: reduced to one electrical period of 2^min(B, 16)/pp
// counts (worked by hand), found on the simulated drive exactly for encoders of 12, 17 and 20
// bits and kept on Yes through Motor Setup's OK and the recompute, put back on No, refused when it
// cannot be reduced. The connections: passed only once the position within one revolution has
// changed to a non-zero value, on the side the opener names.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
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
// beyond 16, 40 included; 50000 gives 848, not the 17232 that a period of 2^B/pp would keep.
TEST(SerialEncoderOffset, ReducesTheDriveOffsetToOneElectricalPeriod) {
  struct Case {
    double bits, pairs, driveOffset;
    std::int64_t period, offset;
  };
  for (const Case& c : {Case{16, 4, 40000, 16384, 7232}, {17, 4, 40000, 16384, 7232}, {40, 4, 40000, 16384, 7232},
                        {17, 4, 50000, 16384, 848}, {12, 4.9, 1000, 1024, 1000}, {16, 3, 65535, 21845, 0},
                        {17, 4, -40000, 16384, -7232}, {16, 0.5, 100, 0, 0}, {1, 4, 1, 0, 0}}) {
    const auto found = ReduceSerialEncoderOffset(c.bits, c.pairs, c.driveOffset);
    EXPECT_EQ(found ? found->period : 0, c.period) << c.bits << " bits, " << c.pairs << " pairs";
    EXPECT_EQ(found ? found->offset : 0, c.offset) << c.bits << " bits, " << c.pairs << " pairs";
  }
}

// A shipped motor file with a piece of its text replaced, where the simulated drive can load it.
std::filesystem::path ChangedMotorFile(const std::string& motor, const std::string& name, const std::string& from,
                                       const std::string& to) {
  std::stringstream text;
  text << std::ifstream(std::filesystem::path(KESTREL_MOTORS_DIR) / (motor + ".json")).rdbuf();
  std::string json = text.str();
  json.replace(json.find(from), from.size(), to);
  const auto file = std::filesystem::temp_directory_path() / ("kestrel_" + name + ".json");
  std::ofstream(file) << json;
  return file;
}

// The shipped serial encoder of 17 bits reading 0° at θ_m = 0, and one of `bits` reading 37°.
std::string SerialEncoder(int bits, double offset_deg) {
  std::ostringstream text;
  text << "\"single_turn_bits\": " << bits << ",\n    \"turn_bits\": 12,\n    \"gray\": false,\n    \"offset_deg\": "
       << std::fixed << std::setprecision(1) << offset_deg;
  return text.str();
}
std::filesystem::path SerialMotorFile(const std::string& motor, int bits) {
  return ChangedMotorFile(motor, motor + "_" + std::to_string(bits), SerialEncoder(17, 0.0), SerialEncoder(bits, 37.0));
}

struct OffsetCase {
  const char* name;
  const char* motor;  // setup and motor file
  int bits;
  int answer;           // to the question on closing
  const char* purpose;  // of the test
};

// Motor Setup on a setup, the simulated drive with the motor file.
class SerialEncoderBench : public Bench {
 protected:
  void Connect(const std::filesystem::path& motorFile) {
    simulator_ = drivesim::link::ConnectSimulator(setup_, {motorFile, std::nullopt}, clock_);
    CMC_Comm::SetActiveLink(simulator_.get());
    RegisterDialogTemplates();
    RegisterCommissioningTests();
  }
};

class SerialEncoderOffsetRun : public SerialEncoderBench, public ::testing::WithParamInterface<OffsetCase> {};

// The encoder reads 37° at θ_m = 0; with 4 pole pairs one electrical period is a quarter turn, so
// its offset is its reading at 37° within a quarter turn, in min(B, 16)-bit units.
TEST_P(SerialEncoderOffsetRun, FindsTheOffsetExactlyAndKeepsItOnYes) {
  const OffsetCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.motor);
  setup_.SetParameterValueInBaseUnit("SSI_No_Bits_Revolution", c.bits);
  setup_.SetParameterValueInBaseUnit("SSI_Offset", 3);
  Connect(SerialMotorFile(c.motor, c.bits));
  std::string purpose, shown, kept;
  user_.Click(3451)
      .Click(drivebase::kStartStopButton)
      .RunUntil("the run ends", [](ui::DialogDriver&) { return !TopTest().IsRunning(); }, Milliseconds(20000))
      .ExpectText(drivebase::kOutcomeText, "Test passed")
      .Do("note the test's texts",
          [&](ui::DialogDriver& dialog) {
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
  EXPECT_EQ(purpose, c.purpose);
  EXPECT_NEAR(std::stod(shown), expected, 1.0);
  EXPECT_EQ(LastBox(), "A different value than specified has been detected for the following parameter(s):\r\n\r\n"
                       "Encoder offset:\tOld = 3\tNew = " + shown +
                           "\r\n\r\nDo you want to save the new value(s)? (Recommended)");
  const double offset = c.answer == IDYES ? std::stod(shown) : 3.0;
  EXPECT_EQ(kept, c.answer == IDYES ? shown : "3");
  EXPECT_EQ(Internal("ZAOFF"), offset);
  EXPECT_EQ(Value("SSI_Offset"), offset);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, SerialEncoderOffsetRun,
    ::testing::Values(OffsetCase{"ssi_12_bits", "ssi", 12, IDYES, "Identifies the SSI offset."},
                      OffsetCase{"ssi_17_bits", "ssi", 17, IDYES, "Identifies the SSI offset."},
                      OffsetCase{"ssi_20_bits", "ssi", 20, IDYES, "Identifies the SSI offset."},
                      OffsetCase{"biss_answered_no", "biss", 17, IDNO, "Identifies the BiSS offset."}),
    [](const auto& param) { return std::string(param.param.name); });

// Offsets that cannot be kept fail without touching the setup: a negative one read from the
// drive, and a pole-pair count below 1 (no electrical period).
TEST_F(Bench, AnOffsetThatCannotBeReducedLeavesTheSetupAlone) {
  for (const auto& [driveOffset, pairs, error] :
       {std::tuple{-40000.0, 4.0, "The encoder offset read from the drive (-7232) lies outside one electrical period "
                                  "(0 to 16383)."},
        {40000.0, 0.0, CMC_TestDlg::msc_pszErrInternal}}) {
    setup_ = test_support::ScaledSetupFile("ssi");
    setup_.FindParameter("pp")->SetMinInBaseUnit(0.0);
    setup_.SetParameterValueInBaseUnit("pp", pairs);
    ScriptedDrive drive;
    drive.values.insert({{"var_i1", {1, 1}}, {"ZAOFF", {driveOffset, 2}}});
    CMC_Comm::SetActiveLink(&drive);
    std::string failure;
    user_.Click(drivebase::kStartStopButton)
        .WaitUntil(RunEnded())
        .Do("note the error", [&](ui::DialogDriver&) { failure = TopTest().ErrorText(); })
        .Close(IDCANCEL);
    EXPECT_EQ(RunTestAlone(&setup_, "ssi-offset"), IDCANCEL);
    EXPECT_EQ(failure, error);
    EXPECT_EQ(Internal("ZAOFF"), 0.0);
  }
}

// The dual loop's load encoder made a serial one of 17 bits reading 37° at θ_m = 0.
std::filesystem::path SerialLoadMotorFile() {
  return ChangedMotorFile("dual_loop", "serial_load", "\"type\": \"incremental\",\n    \"lines\": 5000,\n    \"index_deg\": 0.0",
                          "\"type\": \"ssi\",\n    " + SerialEncoder(17, 37.0));
}

struct ConnectionCase {
  const char* name;
  const char* setup;  // and its motor, reading 37°: the position is not 0 from the first reading
  int button;         // in Motor Setup
  double travel;      // of the hand (rad of the motor); 0: nobody turns
  const char* error;  // "": passed
  const char* seen;   // the purpose text and the position read
};

class SerialEncoderConnections : public SerialEncoderBench, public ::testing::WithParamInterface<ConnectionCase> {};

// Only a turn passes. On the dual loop the serial encoder reads the load, a tenth of the motor.
TEST_P(SerialEncoderConnections, PassOnlyOnceThePositionChangedToANonZeroValue) {
  const ConnectionCase& c = GetParam();
  setup_ = test_support::ScaledSetupFile(c.setup);
  const bool load = c.button == 3472;
  if (load) {  // a serial load encoder; the motor has no Hall sensors for the drive to miss
    setup_.SetParameterValueInBaseUnit("LoadSensorType", 5);
    setup_.SetParameterValueInBaseUnit("isHallsensors", 0);
  }
  Connect(load ? SerialLoadMotorFile() : SerialMotorFile(c.setup, 17));
  drivesim::Drive& drive = simulator_->SimulatedDrive();
  std::string error, seen, position;
  double turn = 0.0;
  user_.Click(c.button).Click(drivebase::kStartStopButton).Wait(Milliseconds(100)).Do("turn", [&](ui::DialogDriver&) {
    drive.RunUntil(static_cast<double>(ui::CurrentEventLoop().Clock().Now().count()) / 1000.0);
    if (c.travel != 0.0) drive.HandTurn(c.travel, 2.0);
  });
  user_.Wait(Milliseconds(2500))
      .Do("note the position",
          [&](ui::DialogDriver& dialog) {
            const auto& test = TopTest<CTestSSIEncoderConnections>();
            seen = dialog.Text(drivebase::kPurposeText) + " " + test.PositionVariable();
            position = dialog.Text(CTestSSIEncoderConnections::kPositionEdit);
            turn = test.Diagram().Theta() * static_cast<double>(test.CountsPerRevolution()) / (2 * M_PI);
          })
      .Click(drivebase::kStartStopButton)
      .WaitUntil(RunEnded())
      .Do("note the outcome", [&](ui::DialogDriver&) { error = TopTest().ErrorText(); })
      .Close(IDCANCEL)
      .Close(IDCANCEL);
  RunSetupDialogAlone(&setup_, "motor");
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(seen, c.seen);
  EXPECT_EQ(std::to_string(std::lround(turn)), position);  // the dial at the position shown
  EXPECT_FALSE(drive.ProgramRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Sides, SerialEncoderConnections,
    ::testing::Values(
        ConnectionCase{"motor_turned", "ssi", 3452, 2 * M_PI, "", "Checks position reading from the SSI encoder. APOS_MT"},
        ConnectionCase{"motor_standing", "ssi", 3452, 0.0, CTestSSIEncoderConnections::kNoPulsesText,
                       "Checks position reading from the SSI encoder. APOS_MT"},
        ConnectionCase{"biss_turned_back", "biss", 3452, -M_PI, "",
                       "Checks position reading from the BiSS encoder. APOS_MT"},
        ConnectionCase{"load_turned", "dual_loop", 3472, 2 * M_PI, "",
                       "Checks position reading from the SSI encoder. APOS_LD"}),
    [](const auto& param) { return std::string(param.param.name); });

// 17 bits: the first reading (5) is where the encoder stands; a change to a whole revolution
// (position 0 within it) is no pulse, a change to 1 within it is.
TEST_F(Bench, OnlyAChangeToANonZeroPositionWithinTheRevolutionIsAPulse) {
  for (const auto& [last, passed] : {std::pair{131072.0, false}, {131073.0, true}}) {
    setup_ = test_support::ScaledSetupFile("ssi");
    ScriptedDrive drive;
    drive.values.insert({{"APOS_MT", {5, 2}}, {"var_i2", {0, 1}}});
    CMC_Comm::SetActiveLink(&drive);
    user_.Click(drivebase::kStartStopButton)
        .Wait(Milliseconds(100))
        .Do("the shaft turns", [&drive, last](ui::DialogDriver&) { drive.values["APOS_MT"].first = last; })
        .Wait(Milliseconds(100))
        .Click(drivebase::kStartStopButton)
        .ExpectText(drivebase::kOutcomeText, passed ? "Test passed" : "Test failed")
        .Close(IDCANCEL);
    RunTestAlone(&setup_, "ssi-connection");
  }
}

}  // namespace
}  // namespace kestrel::commissioning_test
