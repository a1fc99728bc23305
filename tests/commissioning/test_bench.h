// A bench for the commissioning tests: a headless session, the default setup converting through
// the plug-in's scale functions, and a drive connected for the bench's life (the simulated drive
// on the session's clock, or a drive the test scripts).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "../compute/scaled_setup.h"
#include "../drivebase/memory_drive.h"
#include "commissioning/test_current.h"
#include "drivesim_link/simulator_link.h"
#include "ui/condition.h"
#include "ui/event_loop.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace kestrel::commissioning_test {

// The test open at the top (the agent's current step runs on it), as the kind a case works with.
template <class Test = CMC_TestDlg>
Test& TopTest() {
  auto* test = dynamic_cast<Test*>(ui::CurrentEventLoop().TopDialog());
  if (test == nullptr) throw std::runtime_error("the test at the top is not of the kind expected");
  return *test;
}
inline CTestCurrent& OpenTest() { return TopTest<CTestCurrent>(); }

// The run of the test at the top has ended.
inline ui::Condition RunEnded() {
  return ui::Holds("the run ended", [](ui::DialogDriver&) { return !TopTest().IsRunning(); });
}

class Bench : public ::testing::Test {
 protected:
  Bench() { session_.Use(user_); }
  ~Bench() override { CMC_Comm::SetActiveLink(nullptr); }
  // Connects the simulated drive of the setup as it stands.
  void ConnectSimulator() {
    simulator_ = drivesim::link::ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(simulator_.get());
  }
  double Value(const char* name) const { return setup_.GetParameterValueInBaseUnit(name); }
  double Internal(const char* name) const { return setup_.FindParameter(name)->GetValueInInternalUnit(); }
  std::string LastBox() { return session_.MessageBoxes().Shown().empty() ? "" : session_.MessageBoxes().Shown().back().text; }

  ui::HeadlessSession session_;
  drivesim::link::DialogClock clock_;
  CMC_Setup setup_ = test_support::Scaled(LoadDefaultSetup());
  std::unique_ptr<drivesim::link::SimulatorLink> simulator_;
  ui::TestAgent user_;
};

// A drive whose programs do what the test says: every launch starts the program at once
// (STARTED as set), the axis is off (the program has ended), the program's outputs and the drive
// variables hold the values given, and chosen accesses fail.
class ScriptedDrive : public drivebase::test_support::MemoryDrive {
 public:
  ScriptedDrive() { values.insert({{"MER", {0, 1}}, {"REFTST_V", {3264, 2}}, {"RINCTST_V", {33, 2}}}); }
  bool Launch(const drivebase::ProgramLaunch& launch) override {
    if (!MemoryDrive::Launch(launch)) return false;
    memory["STARTED"] = started;
    for (const auto& [name, value] : outputs) memory[name] = value;
    if (launch.program.ends_with("Current_Controller_Tuning_Test")) memory["test_flag"] = 1;
    return true;
  }
  bool ReadProgramVariable(std::string_view name, double& internal) override {
    if (unreadable.contains(std::string(name))) return Fail("no answer for '" + std::string(name) + "'");
    return MemoryDrive::ReadProgramVariable(name, internal);
  }
  bool GetAxisOn(bool& on) override {
    on = false;
    return !axisUnknown || Fail("the axis state did not come");
  }
  bool StopProgram() override { return true; }
  bool FitLoggerPoints(drivebase::LoggerSettings&) override { return true; }
  bool UploadLog(std::vector<drivebase::LoggedPoint>& points) override {
    if (uploadRefused) return Fail("the logger did not answer");
    points.assign(100, drivebase::LoggedPoint{0.0, {5237, 5237, 1000}});
    for (std::size_t k = 0; k < points.size(); ++k) points[k].time_s = 1e-4 * static_cast<double>(k);
    return true;
  }

  double started = 1;
  std::map<std::string, double> outputs{{"In1", 5237}};  // of every program
  std::set<std::string, std::less<>> unreadable;
  bool axisUnknown = false, uploadRefused = false;
};

}  // namespace kestrel::commissioning_test
