// The probe test on the default setup and the simulated drive, in a headless session.
#pragma once

#include <cmath>

#include <gtest/gtest.h>

#include "drivesim_link/simulator_link.h"
#include "kestrel/default_setup.h"
#include "probe_test_dlg.h"
#include "ui/session.h"
#include "ui/test_agent.h"

namespace testing_test {

class SimulatedTest : public ::testing::Test {
 protected:
  SimulatedTest() { CMC_Comm::SetActiveLink(link.get()); }
  ~SimulatedTest() override { CMC_Comm::SetActiveLink(nullptr); }

  // The current step with the test current and no protection; with its three variables logged.
  void PrepareCurrentStep(bool logged) {
    std::string error;
    const double current = std::trunc(setup.GetParameterValueInInternalUnit("TestCurrent"));
    ASSERT_TRUE(probe.SetUserVariableValue(&probe.image, "In1", current, error) != 0) << error;
    ASSERT_TRUE(probe.SetUserVariableValue(&probe.image, "Imax_Prot_Test", 32767, error) != 0) << error;
    if (!logged) return;
    probe.logger = std::make_unique<CMC_SingleAxisLogger>(&setup, &probe.image);
    for (const auto& [name, flag] : {std::pair{"Current_Reference", 1}, {"Motor_Current", 0}, {"Voltage_Reference", 1}}) {
      ASSERT_TRUE(probe.logger->AddVariable(name, flag));
    }
  }

  ui::HeadlessSession session;
  ui::TestAgent user;
  CMC_Setup setup = kestrel::LoadDefaultSetup();
  drivesim::link::DialogClock clock;
  std::unique_ptr<drivesim::link::SimulatorLink> link = drivesim::link::ConnectSimulator(setup, {}, clock);
  ProbeTestDlg probe{&setup, "IE_Current_Controller_Tuning_Test"};
};

}  // namespace testing_test
