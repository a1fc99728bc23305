// The drive link over the simulated drive. Every transaction (a read or write, a launch, the axis
// state, a command, a reset, an upload, the unsolicited messages) brings the drive to the host's
// present time, acts on it there, and answers one link latency later: the host's clock moves on
// by that much, so loops that poll the drive see time pass as on a serial link. Nothing observes
// the drive between transactions, so running it up to the host's time at each transaction is the
// same as running it before every dispatch of the host.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "drivebase/comm.h"
#include "drivebase/setup.h"
#include "drivesim/drive.h"
#include "drivesim_link/host_clock.h"

namespace drivesim::link {

class SimulatorLink final : public drivebase::DriveLink {
 public:
  SimulatorLink(Drive drive, std::string description, HostClock& clock);

  // The simulated drive itself, for the scripted user and for tests.
  Drive& SimulatedDrive() { return drive_; }

  std::string Description() const override { return description_; }
  bool WriteValue(std::string_view name, double internal, int sizeInWords) override;
  bool ReadValue(std::string_view name, int sizeInWords, double& internal) override;
  bool Launch(const drivebase::ProgramLaunch& launch) override;
  bool WriteProgramVariable(std::string_view name, double internal) override;
  bool ReadProgramVariable(std::string_view name, double& internal) override;
  bool StopProgram() override;
  bool GetAxisOn(bool& on) override;
  bool Reset() override;
  bool ExecuteString(std::string_view command) override;
  bool FitLoggerPoints(drivebase::LoggerSettings& settings) override;
  bool UploadLog(std::vector<drivebase::LoggedPoint>& points) override;
  bool ReceiveUnsolicited(std::vector<drivebase::UnsolicitedMessage>& messages) override;
  bool ArmScope(const drivebase::ScopeSettings& settings) override;
  bool DisarmScope() override;
  bool GetScopeRunning(bool& running) override;

 private:
  // A transaction is sent at the host's present time (not before the previous answer): the drive
  // runs to that time, which Send returns. Answer lets the host wait `roundTrips` latencies.
  double Send();
  void Answer(double sent_s, long long roundTrips);
  // One transaction of one round trip: `act` acts on the drive at the time it is sent.
  template <class Act>
  bool Transact(Act act);
  // Words of the logged variables of one point.
  int WordsPerPoint(const std::vector<std::string>& variables) const;

  Drive drive_;
  std::string description_;
  HostClock& clock_;
  double linkFree_s_ = 0.0;  // when the answer of the last transaction arrived
  std::vector<std::string> loggedVariables_;
};

// Where the simulated drive's motor and power stage come from.
struct SimulatorChoice {
  std::optional<std::filesystem::path> motorFile;  // none: the built-in motor
  std::optional<std::filesystem::path> driveFile;  // none: the power stage the setup describes
};

// A simulated drive for the setup: the power stage the setup describes (timer clock DSP_freq,
// the ADC full scale, ImaxPS, VdcMaxMeasurable) unless a drive file gives the true one, and the
// motor of the motor file or the built-in motor. Throws ModelFileError for a faulty motor or
// drive file and std::runtime_error for a setup that lacks what the power stage is built from.
std::unique_ptr<SimulatorLink> ConnectSimulator(const CMC_Setup& setup, const SimulatorChoice& choice,
                                                HostClock& clock);

}  // namespace drivesim::link
