#include "drive_options.h"

#include <iostream>

#include "cli_error.h"
#include "drivebase/offline_link.h"
#include "drivesim/scenario.h"
#include "drivesim_link/simulator_link.h"

namespace kestrel::cli {
namespace {

std::optional<std::filesystem::path> Given(const std::string& path) {
  if (path.empty()) return std::nullopt;
  return std::filesystem::path(path);
}

}  // namespace

void AddDriveOptions(CLI::App& command, DriveOptions& options) {
  command.add_option("--drive", options.drive, "The drive: simulator (default) or offline (every access fails)")
      ->check(CLI::IsMember({"simulator", "offline"}));
  command.add_option("--motor", options.motorFile, "Motor file of the simulated drive (default: the built-in motor)");
  command.add_option("--drive-file", options.driveFile,
                     "Drive file: the simulated drive's true power stage (default: the one the setup describes)");
}

void AddFaultOption(CLI::App& command, std::vector<std::string>& faults) {
  command.add_option("--fault", faults,
                     "\"NAME ARGS\": a fault of the simulated drive from the start, e.g. \"open_phase C\" (repeatable)");
}

void CheckFaults(const DriveOptions& options, const std::vector<std::string>& faults) {
  if (!faults.empty() && options.drive != "simulator") {
    throw UsageError("--fault acts on the simulated drive; it needs --drive simulator");
  }
  for (const std::string& fault : faults) {
    drivesim::Scenario scratch;
    if (const drivesim::Status applied = drivesim::ApplyFaultEntry(fault, scratch); !applied.ok()) {
      throw UsageError("--fault " + fault + ": " + applied.error);
    }
  }
}

void InjectFaults(DriveConnection& connection, const std::vector<std::string>& faults) {
  for (const std::string& fault : faults) {
    const drivesim::Status injected = connection.SimulatedDrive()->InjectFault(fault);
    if (!injected.ok()) throw Failure(injected.error);
  }
}

DriveConnection::DriveConnection(const DriveOptions& options, const CMC_Setup& setup) {
  if (options.drive == "offline") {
    if (!options.motorFile.empty() || !options.driveFile.empty()) {
      throw UsageError("--motor and --drive-file describe the simulated drive; they need --drive simulator");
    }
    link_ = std::make_unique<drivebase::OfflineLink>();
  } else {
    auto simulator = drivesim::link::ConnectSimulator(setup, {Given(options.motorFile), Given(options.driveFile)}, clock_);
    simulator_ = simulator.get();
    link_ = std::move(simulator);
  }
  CMC_Comm::SetActiveLink(link_.get());
  std::cerr << "drive: " << link_->Description() << '\n';
}

DriveConnection::~DriveConnection() { CMC_Comm::SetActiveLink(nullptr); }

drivesim::Drive* DriveConnection::SimulatedDrive() {
  return simulator_ != nullptr ? &simulator_->SimulatedDrive() : nullptr;
}

}  // namespace kestrel::cli
