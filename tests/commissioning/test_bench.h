// A bench for the commissioning tests: a headless session, the default setup converting through
// the plug-in's scale functions, and a drive connected for the bench's life (the simulated drive
// on the session's clock, or a drive the test scripts).
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "commissioning/test_current.h"
#include "compute/unit_scale.h"
#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "ui/event_loop.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace kestrel::commissioning_test {

inline double PlugInFactor(CMC_Setup* setup, const char* unit, const char* name) { return UnitScaleFactor(setup, unit, name); }
inline double PlugInOffset(CMC_Setup* setup, const char* unit, const char*) { return UnitScaleOffset(setup, unit); }

inline CMC_Setup DefaultSetup() {
  CMC_Setup setup = LoadDefaultSetup();
  setup.SetScaleFunctions({&PlugInFactor, &PlugInOffset});
  return setup;
}

// The test open at the top (the agent's current step runs on it).
inline CTestCurrent& OpenTest() {
  auto* test = dynamic_cast<CTestCurrent*>(ui::CurrentEventLoop().TopDialog());
  if (test == nullptr) throw std::runtime_error("no current test open");
  return *test;
}

class Bench : public ::testing::Test {
 protected:
  Bench() { session_.Use(user_); }
  // Connects the simulated drive of the setup as it stands.
  void ConnectSimulator() {
    simulator_ = drivesim::link::ConnectSimulator(setup_, {}, clock_);
    CMC_Comm::SetActiveLink(simulator_.get());
  }
  void Connect(drivebase::DriveLink& link) { CMC_Comm::SetActiveLink(&link); }
  ~Bench() override { CMC_Comm::SetActiveLink(nullptr); }

  double Value(const char* name) const { return setup_.GetParameterValueInBaseUnit(name); }
  double Internal(const char* name) const { return setup_.FindParameter(name)->GetValueInInternalUnit(); }
  std::string LastBox() { return session_.MessageBoxes().Shown().empty() ? "" : session_.MessageBoxes().Shown().back().text; }

  ui::HeadlessSession session_;
  drivesim::link::DialogClock clock_;
  CMC_Setup setup_ = DefaultSetup();
  std::unique_ptr<drivesim::link::SimulatorLink> simulator_;
  ui::TestAgent user_;
};

}  // namespace kestrel::commissioning_test
