// A drive for tests of the host's side of the link: it holds values and program memory by name,
// records every launch, and refuses names it does not know.
#pragma once

#include <map>
#include <string>

#include "drivebase/comm.h"

namespace drivebase::test_support {

class MemoryDrive : public DriveLink {
 public:
  std::string Description() const override { return "memory drive"; }

  bool WriteValue(std::string_view name, double internal, int words) override {
    if (name == "READONLY") return Fail("drive refused 'READONLY'");
    values[std::string(name)] = {internal, words};
    return true;
  }
  bool ReadValue(std::string_view name, int, double& internal) override {
    const auto it = values.find(std::string(name));
    if (it == values.end()) return Fail("drive has no '" + std::string(name) + "'");
    internal = it->second.first;
    return true;
  }
  bool Launch(const ProgramLaunch& launch) override {
    if (launch.program == "Refused_Program") return Fail("drive refused 'Refused_Program'");
    launches.push_back(launch);
    memory.clear();
    for (const DriveValue& variable : launch.variables) memory[variable.name] = variable.internal;
    return true;
  }
  bool WriteProgramVariable(std::string_view name, double internal) override {
    memory[std::string(name)] = internal;
    return true;
  }
  bool ReadProgramVariable(std::string_view name, double& internal) override {
    const auto it = memory.find(std::string(name));
    if (it == memory.end()) return Fail("program memory has no '" + std::string(name) + "'");
    internal = it->second;
    return true;
  }
  bool ReceiveUnsolicited(std::vector<UnsolicitedMessage>& messages) override {
    messages = std::move(pending);
    pending.clear();
    return true;
  }

  std::map<std::string, std::pair<double, int>> values;
  std::map<std::string, double> memory;
  std::vector<ProgramLaunch> launches;
  std::vector<UnsolicitedMessage> pending;
};

// Connects the drive for the lifetime of the object.
class Connected {
 public:
  explicit Connected(DriveLink& link) { CMC_Comm::SetActiveLink(&link); }
  ~Connected() { CMC_Comm::SetActiveLink(nullptr); }
  Connected(const Connected&) = delete;
  Connected& operator=(const Connected&) = delete;
};

}  // namespace drivebase::test_support
