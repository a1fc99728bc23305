// What a commissioning road found, step by step: what the report is written from and what the
// progress view shows.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commission/road.h"
#include "drivebase/test_dlg.h"

namespace kestrel::cli {

// A labelled value as shown ("R", "0.903957 Ohm").
using LabelledValue = std::pair<std::string, std::string>;

// A tuned gain: its scaled value and its register pair, as the setup holds them after the step.
struct TunedGain {
  std::string scaled;           // "Kp_C_scl"
  std::string scaledValue;      // "%g" text of the scaled value
  std::string mantissa, shift;  // register names ("KPI", "SFTKPI")
  long long mantissaValue = 0, shiftValue = 0;
};

struct StepRecord {
  enum class Status { passed, failed, notKept };
  const RoadStep* step = nullptr;
  Status status = Status::failed;
  std::string outcome;                  // the test's outcome text ("Test passed", "Test failed")
  std::string errorText;                // a failed step: the test's error text
  std::vector<std::string> statusTexts;  // the progress texts the test showed, in order
  std::vector<CMC_TestDlg::TestResultLine> results;      // the test's results of its last run
  std::vector<std::vector<CMC_TestDlg::MeasuredValue>> runs;  // each run's measured values
  std::vector<TunedGain> gains;
  std::vector<std::vector<std::string>> changes;  // what the step changed: name, old, new, unit
  std::vector<std::string> notes;       // what the step found and corrected, in words
  std::string plotDirectory;            // relative to the report directory; empty: no plots
  std::vector<std::string> plots;       // the plots' names: NAME.svg and NAME.csv in plotDirectory
};

// "passed", "failed" or "not kept".
inline std::string_view StatusName(StepRecord::Status status) {
  switch (status) {
    case StepRecord::Status::passed: return "passed";
    case StepRecord::Status::notKept: return "not kept";
    case StepRecord::Status::failed: break;
  }
  return "failed";
}

struct RoadRecord {
  std::string setupName;   // the setup file, or "embedded default setup"
  std::string driveName;   // the drive in use ("simulator (motor: motors/linear.json)")
  std::vector<LabelledValue> motor;  // the motor as the setup describes it, after the road
  std::vector<LabelledValue> drive;  // the power stage and supply
  std::vector<StepRecord> steps;     // the steps run, in order; the last one failed when the road stopped
  std::vector<std::string> skipped;  // steps of the road that do not fit the setup, with why
  std::vector<std::vector<std::string>> changes;  // the whole road's changes: name, old, new, unit
  bool completed = false;            // every planned step passed and Drive Setup was confirmed
  std::string nextCheck;             // a stopped road: what to check before going on
  std::string writtenTo;             // the setup file written; empty when none was
};

}  // namespace kestrel::cli
