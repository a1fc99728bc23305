// The drive a command talks to, chosen on its command line: --drive simulator|offline,
// --motor FILE and --drive-file FILE. Every command that talks to a drive adds these options
// with AddDriveOptions and connects with a DriveConnection, which says once on standard error
// which drive it uses.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "drivebase/comm.h"
#include "drivebase/setup.h"
#include "drivesim/drive.h"
#include "drivesim_link/host_clock.h"

namespace drivesim::link {
class SimulatorLink;
}

namespace kestrel::cli {

struct DriveOptions {
  std::string drive = "simulator";  // "simulator" or "offline"
  std::string motorFile;            // empty: the built-in motor
  std::string driveFile;            // empty: the power stage the setup describes
};

void AddDriveOptions(CLI::App& command, DriveOptions& options);
// --fault "NAME ARGS" (repeatable): faults of the simulated drive from the start.
void AddFaultOption(CLI::App& command, std::vector<std::string>& faults);

// The chosen drive, connected as the active drive link (CMC_Comm) for the object's lifetime.
class DriveConnection {
 public:
  // Throws UsageError for a motor or drive file given with --drive offline, and an exception that
  // names the file, the key and the fault for a motor or drive file that cannot be loaded.
  DriveConnection(const DriveOptions& options, const CMC_Setup& setup);
  ~DriveConnection();
  DriveConnection(const DriveConnection&) = delete;
  DriveConnection& operator=(const DriveConnection&) = delete;

  drivebase::DriveLink& Link() { return *link_; }
  // The simulated drive (the scripted user acts on it); null for the offline drive.
  drivesim::Drive* SimulatedDrive();

 private:
  drivesim::link::DialogClock clock_;
  std::unique_ptr<drivebase::DriveLink> link_;
  drivesim::link::SimulatorLink* simulator_ = nullptr;
};

// Each --fault entry checked before anything runs: a usage error naming the entry and what is wrong
// with it, or that only the simulated drive takes faults.
void CheckFaults(const DriveOptions& options, const std::vector<std::string>& faults);
// The faults injected into the connected simulated drive (checked before with CheckFaults).
void InjectFaults(DriveConnection& connection, const std::vector<std::string>& faults);

}  // namespace kestrel::cli
