#include <stdexcept>

#include "drivebase/error_report.h"
#include "drivesim_link/simulator_link.h"

namespace drivesim::link {
namespace {

// A value of the setup that the simulated power stage is built from, in its base unit.
double PowerStageValue(const CMC_Setup& setup, const char* name) {
  const drivebase::ErrorReportingOff probing;
  const CMC_Parameter* parameter = setup.FindParameter(name);
  if (parameter == nullptr) {
    throw std::runtime_error(std::string("the setup has no parameter '") + name +
                             "', from which the simulated power stage is built (give --drive-file)");
  }
  return parameter->GetValueInBaseUnit();
}

DriveHardware PowerStage(const CMC_Setup& setup, const SimulatorChoice& choice) {
  if (choice.driveFile) return LoadDriveFile(choice.driveFile->string());
  return HardwareFromSetup(PowerStageValue(setup, "DSP_freq"), Compute_ADCMaxValue(&setup),
                           PowerStageValue(setup, "ImaxPS"), PowerStageValue(setup, "VdcMaxMeasurable"));
}

}  // namespace

std::unique_ptr<SimulatorLink> ConnectSimulator(const CMC_Setup& setup, const SimulatorChoice& choice,
                                                HostClock& clock) {
  DriveHardware hardware = PowerStage(setup, choice);
  MotorModel motor = choice.motorFile ? LoadMotorFile(choice.motorFile->string()) : DefaultMotor();
  std::string description = "simulator (motor: ";
  description += choice.motorFile ? choice.motorFile->string() : std::string("built-in default motor");
  if (choice.driveFile) description += ", drive: " + choice.driveFile->string();
  description += ")";
  return std::make_unique<SimulatorLink>(Drive(std::move(hardware), std::move(motor)), std::move(description), clock);
}

}  // namespace drivesim::link
