#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compute/biquad_designer.h"
#include "compute/registers.h"
#include "drivebase/comm.h"
#include "drivebase/value_types.h"
#include "scaled_setup.h"
#include "reported_errors.h"

namespace kestrel {
namespace {

// Keeps what the computation reports.
class RecordingReporter : public ComputeReporter {
 public:
  void ReportError(const std::string& message) const override { errors.push_back(message); }
  mutable std::vector<std::string> errors;
};

// The default drive has 4 filter slots (MaxFilters 4) and runs them every 1 ms.
class FilterSlots : public test_support::ScaledDefaultSetup {
 protected:
  void SetUp() override { for (int i = 1; i <= 9; ++i) Enable(i, false, 0); }
  void Enable(int filter, bool on, int place, int type = 0, double f1 = 100.0, double q = 0.707) {
    for (const auto& [field, value] : {std::pair{"BQFilter", on ? 1.0 : 0.0}, {"BQFilterLocation", 1.0 * place},
                                       {"BQFilterType", 1.0 * type}, {"BQFilterF1", f1}, {"BQFilterQ", q}}) {
      Set(field + std::to_string(filter), value);
    }
  }
  void AddSlots(int last) {
    for (int slot = 5; slot <= last; ++slot) {
      for (const char* field : {"B0", "B1", "B2", "A1", "A2", "SF"}) {
        drivebase::ParameterSpec spec;
        spec.name = "BQ" + std::to_string(slot) + field;
        spec.type = drivebase::kSigned32;
        spec.internal = 77;
        setup.AddParameter(spec);
      }
    }
  }
  double Slot(int slot, const char* field) { return Value("BQ" + std::to_string(slot) + field); }
  // The number of filters at each place.
  std::vector<double> Counts() {
    return {Value(kFilterPlaceCounts[0]), Value(kFilterPlaceCounts[1]), Value(kFilterPlaceCounts[2])};
  }
  static CBiquadDesigner Designed(int type, double f1Normalised, double q, bool dcGainCorrected = true) {
    CBiquadDesigner designed;
    designed.DesignFilter(type, f1Normalised, q, 0.0);
    designed.QuantizeCoefficients();
    if (dcGainCorrected) designed.CorrectDcGain();
    return designed;
  }
  int WriteAll() { return designer.WriteAllFilters(&setup, reporter); }
  CBiquadDesigner designer;
  RecordingReporter reporter;
};

TEST_F(FilterSlots, PackedByPlaceThenByNumber) {
  Enable(1, true, 2, 0, 200.0);  // speed feedback
  Enable(2, true, 2, 2, 300.0, 2.0);
  Enable(3, true, 0, 1, 150.0);  // position controller output
  Set("BQ4B0", 123);
  ASSERT_EQ(WriteAll(), 1);
  EXPECT_EQ(Counts(), (std::vector<double>{1, 0, 2}));
  // Slot 1 holds filter 3, slots 2 and 3 filters 1 and 2; slot 4 runs nothing.
  const CBiquadDesigner first = Designed(1, 150.0 * 1e-3, 0.707);
  EXPECT_EQ(Slot(1, "B0"), first.b0);
  EXPECT_EQ(Slot(1, "A2"), first.a2);
  EXPECT_EQ(Slot(1, "SF"), first.SF);
  EXPECT_EQ(Slot(3, "B1"), Designed(2, 300.0 * 1e-3, 2.0).b1);
  for (const char* field : {"B0", "B1", "B2", "A1", "A2", "SF"}) EXPECT_EQ(Slot(4, field), 0.0) << field;
  EXPECT_TRUE(reporter.errors.empty());
}

TEST_F(FilterSlots, FiltersSwitchedOffTakeNoSlotAndTooManyDisableThemAll) {
  Set("BQ1B0", 5);
  ASSERT_EQ(WriteAll(), 1);
  EXPECT_EQ(Counts(), (std::vector<double>{0, 0, 0}));
  for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(Slot(slot, "B0"), 0.0);
  Set("IQREF_BQ_INI", 3);
  for (int i = 1; i <= 5; ++i) Enable(i, true, 1);
  EXPECT_EQ(WriteAll(), 0);
  EXPECT_EQ(reporter.errors,
            std::vector<std::string>{"Error: Filters disabled! Current firmware does not support this many "
                                     "filters. Please disable some filters."});
  EXPECT_EQ(Counts(), (std::vector<double>{0, 0, 0}));
  // Without a reporter of its own the caller's host error reporting says it, and so does the
  // whole computation.
  test_support::ReportedErrors reported;
  EXPECT_EQ(designer.WriteAllFilters(&setup), 0);
  ComputeAllRegisters(&setup);
  EXPECT_EQ(reported, std::vector<std::string>(2, kFiltersDisabledMessage));
  ComputeAllRegisters(&setup, reporter);
  EXPECT_EQ(reporter.errors.size(), 2u);
}

TEST_F(FilterSlots, FiltersNumberedAboveTheSlotsCountToo) {
  setup.SetOption("MaxFilters", "2");
  Enable(5, true, 0);
  Enable(6, true, 2);
  ASSERT_EQ(WriteAll(), 1);
  EXPECT_EQ(Counts(), (std::vector<double>{1, 0, 1}));
  Enable(9, true, 1);
  EXPECT_EQ(WriteAll(), 0);
  EXPECT_EQ(reporter.errors.size(), 1u);
}

TEST_F(FilterSlots, TwelveSlotsHoldAllNineFilters) {
  setup.SetOption("MaxFilters", "12");
  AddSlots(12);
  for (int i = 1; i <= 9; ++i) Enable(i, true, i % 3);
  ASSERT_EQ(WriteAll(), 1);
  EXPECT_EQ(Counts(), (std::vector<double>{3, 3, 3}));
  for (int slot = 10; slot <= 12; ++slot) EXPECT_EQ(Slot(slot, "SF"), 0.0) << slot;
  EXPECT_NE(Slot(9, "SF"), 0.0);
}

TEST_F(FilterSlots, AbsurdSlotCountStopsAtTheSlotsTheDriveHas) {
  setup.SetOption("MaxFilters", "2000000000");
  for (const char* field : {"B0", "SF"}) setup.SetParameterValueInBaseUnit(std::string("BQ4") + field, 5.0);
  ASSERT_EQ(WriteAll(), 1);  // at once, not after two billion slots
  EXPECT_EQ(Slot(4, "B0"), 0.0);
  EXPECT_EQ(Slot(4, "SF"), 0.0);
  setup.SetOption("MaxFilters", "0");  // no slots at all
  ASSERT_EQ(WriteAll(), 1);
  Enable(1, true, 0);
  EXPECT_EQ(WriteAll(), 0);
  EXPECT_EQ(Counts()[0], 0.0);
}

TEST_F(FilterSlots, HighAndBandPassKeepTheirQuantisedCoefficients) {
  Enable(1, true, 2, 3, 50.0, 0.707);
  Enable(2, true, 2, 4, 50.0, 2.0);
  ASSERT_EQ(WriteAll(), 1);
  for (const auto& [slot, type, q] : {std::tuple{1, 3, 0.707}, {2, 4, 2.0}}) {
    const CBiquadDesigner plain = Designed(type, 0.05, q, false);
    EXPECT_EQ(Slot(slot, "B0"), plain.b0) << "type " << type << " is not corrected";
    EXPECT_EQ(Slot(slot, "B2"), plain.b2);
  }
}

TEST_F(FilterSlots, LeadLagTakesItsLagFrequency) {
  Enable(1, true, 1, 8, 20.0);
  Set("BQFilterF21", 80.0);
  ASSERT_EQ(designer.WriteFilterSlot(&setup, 1, 2), 1);
  const CBiquadDesigner expected = Designed(8, 0.02, 0.08);
  EXPECT_EQ(Slot(2, "B0"), expected.b0);
  EXPECT_EQ(Slot(2, "A1"), expected.a1);
}

TEST_F(FilterSlots, WithoutADriveTheDownloadFailsAndSaysWhy) {
  test_support::ReportedErrors reported;
  CMC_Comm::SetActiveLink(nullptr);
  EXPECT_EQ(designer.WriteFiltersToDrive(&setup), 0);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported.front(),
            "27 filter registers could not be written to the drive: No drive is connected: cannot write 'BQ4SF'");
}

// Records what reaches the drive.
class RecordingDrive : public drivebase::DriveLink {
 public:
  bool WriteValue(std::string_view name, double internal, int) override {
    written.emplace_back(std::string(name), internal);
    return true;
  }
  bool ReadValue(std::string_view, int, double&) override { return false; }
  std::string LastError() const override { return {}; }
  std::vector<std::pair<std::string, double>> written;
};

TEST_F(FilterSlots, TheDownloadSendsCountsAndEveryExistingSlot) {
  setup.SetOption("MaxFilters", "5");  // slot 5 does not exist and is skipped
  Enable(1, true, 1);
  WriteAll();
  RecordingDrive drive;
  CMC_Comm::SetActiveLink(&drive);
  EXPECT_EQ(designer.WriteFiltersToDrive(&setup), 1);
  CMC_Comm::SetActiveLink(nullptr);
  ASSERT_EQ(drive.written.size(), 3u + 4u * 6u);
  EXPECT_EQ(drive.written[1], (std::pair<std::string, double>{"IQREF_BQ_INI", 1.0}));
  EXPECT_EQ(drive.written[3].first, "BQ1B0");
  EXPECT_EQ(drive.written.back().first, "BQ4SF");
}

}  // namespace
}  // namespace kestrel
