// A drive whose programs do what the test says: every launch starts the program at once
// (STARTED as set), the axis is off (the program has ended), the program's outputs and the drive
// variables hold the values given, and chosen accesses fail.
#pragma once

#include <map>
#include <set>
#include <string>

#include "../drivebase/memory_drive.h"

namespace kestrel::commissioning_test {

class ScriptedDrive : public drivebase::test_support::MemoryDrive {
 public:
  ScriptedDrive() {
    values["MER"] = {0, 1};
    values["REFTST_V"] = {3264, 2};
    values["RINCTST_V"] = {33, 2};
  }

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
    if (axisUnknown) return Fail("the axis state did not come");
    on = false;
    return true;
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
  bool axisUnknown = false;
  bool uploadRefused = false;
};

}  // namespace kestrel::commissioning_test
