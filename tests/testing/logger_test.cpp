// The single-axis logger: the current step's three variables uploaded from the simulated drive
// in the unit each flag asks for, the logger as a file, and files that cannot be loaded.
#include <fstream>

#include <gmock/gmock.h>
#include <unistd.h>

#include "simulated_test.h"

namespace testing_test {
namespace {

using ::testing::HasSubstr;

// 500 internal counts per ampere, 100 per volt.
double TestFactor(CMC_Setup*, const char* unit, const char*) {
  return std::string_view(unit) == "A" ? 2e-3 : std::string_view(unit) == "V" ? 1e-2 : 1.0;
}
double NoOffset(CMC_Setup*, const char*, const char*) { return 0.0; }

std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
}

std::vector<drivebase::GraphColumn> ColumnsOf(const CMC_Logger& logger) { return logger.GetGraphDocument().Columns(); }

TEST_F(SimulatedTest, UploadsTheCurrentStepInTheUnitOfEachFlagAndSavesIt) {
  setup.SetScaleFunctions({&TestFactor, &NoOffset});
  ASSERT_TRUE(setup.FindVariable("Current_Reference")->ChangeUnitType("mA"));
  PrepareCurrentStep(true);
  ASSERT_TRUE(setup.FindVariable("Voltage_Reference")->ChangeUnitType("mV"));  // after AddVariable
  CMC_SingleAxisLogger& logger = *probe.logger;
  ASSERT_TRUE(logger.CorrectPointsNo());
  ASSERT_EQ(probe.ExecuteCode(probe.program, &probe.image, &logger, nullptr, nullptr), 1);
  std::vector<std::pair<std::string, std::string>> columns;
  for (const auto& column : ColumnsOf(logger)) columns.emplace_back(column.name, column.unit);
  EXPECT_THAT(columns, ::testing::ElementsAre(std::pair{"time", "s"}, std::pair{"Current_Reference", "mA"},
                                              std::pair{"Motor_Current", "IU"}, std::pair{"Voltage_Reference", "mV"}));
  int on = 1;
  for (double started = 0; started == 0 || on != 0; session.Loop().AdvanceBy(ui::Milliseconds(20))) {
    std::string error;
    ASSERT_EQ(probe.GetUserVariableValue(&probe.image, "STARTED", started, error), 1) << error;
    ASSERT_EQ(probe.GetAxisOn(on), 1);
  }
  ASSERT_TRUE(logger.BeginUploadData()) << logger.LastError();
  double point[4];
  std::vector<double> reference;
  for (std::size_t row = 0; logger.ReadPoint(point) != 0; ++row) {
    const CGraphDocument& document = logger.GetGraphDocument();
    EXPECT_NEAR(document.Value(row, 1), point[1] * 2, 1e-9 * std::abs(point[1]));
    EXPECT_EQ(document.Value(row, 2), point[2]);
    EXPECT_NEAR(document.Value(row, 3), point[3] * 10, 1e-9 * std::abs(point[3]));
    reference.push_back(point[1]);
  }
  ASSERT_EQ(logger.GetPointsNo(), 100u);
  EXPECT_EQ(reference[9], 0);
  EXPECT_EQ(reference[10], std::trunc(setup.GetParameterValueInInternalUnit("TestCurrent")));

  const std::string file = TempFile("logger.json");
  ASSERT_TRUE(logger.Save(file)) << logger.LastError();
  CMC_SingleAxisLogger loaded(&setup, nullptr);
  ASSERT_TRUE(loaded.Load(file)) << loaded.LastError();
  std::filesystem::remove(file);
  EXPECT_EQ(loaded.LaunchSettings().variables, logger.LaunchSettings().variables);
  EXPECT_EQ(loaded.LaunchSettings().points, 100);
  EXPECT_EQ(ColumnsOf(loaded).size(), 4u);
  ASSERT_EQ(loaded.GetGraphDocument().RowCount(), 100u);
  for (std::size_t column = 0; column < 4; ++column) {
    EXPECT_EQ(loaded.GetGraphDocument().Value(57, column), logger.GetGraphDocument().Value(57, column));
  }
}

// A file that cannot be used leaves the logger as it was; the error names the file and entry.
TEST(LoggerFile, ALoadThatFailsNamesTheEntryAndChangesNothing) {
  const std::string valid = R"({"format":"kestrel_logger","version":1,"settings":{"points":50,"type":1,"divider":2},)"
                            R"("variables":[{"name":"IQ","flag":0},{"name":"ID","flag":1}],"points":[[0,1,2],[0.001,3,4]]})";
  struct Fault {
    const char* from;
    const char* to;
    const char* says;
  };
  const Fault faults[] = {{"{\"format", "[\"format", "is not a JSON object"},
                          {"kestrel_logger", "other", "entry 'format'"},
                          {"\"ID\"", "\"NoSuch\"", "entry 'variables[1].name' names 'NoSuch'"},
                          {"\"flag\":1", "\"flag\":2", "entry 'variables[1].flag'"},
                          {"[0.001,3,4]", "[0.001,3]", "entry 'points[1]'"},
                          {"\"type\":1", "\"type\":3", "entry 'settings'"},
                          {"\"divider\":2", "\"divider\":1e99", "entry 'settings.divider'"}};
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  const std::string file = TempFile("corrupt.json");
  CMC_SingleAxisLogger logger(&setup, nullptr);
  ASSERT_TRUE(logger.AddVariable("Motor_Current", 1));
  for (const Fault& fault : faults) {
    std::string text = valid;
    text.replace(text.find(fault.from), std::string_view(fault.from).size(), fault.to);
    std::ofstream(file) << text;
    EXPECT_FALSE(logger.Load(file)) << fault.to;
    EXPECT_THAT(logger.LastError(), HasSubstr(file));
    EXPECT_THAT(logger.LastError(), HasSubstr(fault.says));
    EXPECT_EQ(logger.LaunchSettings().points, 100);
    EXPECT_EQ(ColumnsOf(logger).size(), 2u);
  }
  std::ofstream(file) << valid;
  ASSERT_TRUE(logger.Load(file)) << logger.LastError();
  std::filesystem::remove(file);
  EXPECT_EQ(logger.LaunchSettings().divider, 2);
  EXPECT_EQ(logger.GetPointsNo(), 2u);
  EXPECT_EQ(logger.GetGraphDocument().Value(1, 2), 4);
}

}  // namespace
}  // namespace testing_test
