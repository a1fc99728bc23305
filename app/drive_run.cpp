#include "drive_run.h"

#include <cmath>
#include <iostream>
#include <sstream>

#include "cli_error.h"
#include "drivebase/atomic_file.h"
#include "drivebase/error_report.h"
#include "drivebase/program_launch.h"
#include "number_text.h"
#include "ui/event_loop.h"

namespace kestrel::cli {
namespace {

using ui::Milliseconds;

// How long a program that has not said how long it runs may take before the run gives up.
constexpr Milliseconds kLongestRun{60000};
// The test base polls its program every 20 ms.
constexpr Milliseconds kPollPeriod{20};

// Where a name read after the run lives.
enum class Place { program, variable, driveRegister };

struct NamedValue {
  std::string name;
  Place place;
};

CMC_CoffFormat LoadImage(const std::string& program) {
  CMC_CoffFormat image;
  if (!image.ReadCoff(drivebase::ProgramImagePath(program).string())) {
    throw Failure("cannot load the program " + program + ": " + image.GetLoadError() +
                  " ('kestrel drive programs' lists the programs)");
  }
  return image;
}

Place PlaceOf(const CMC_Setup& setup, const CMC_CoffFormat& image, const std::string& name, const char* option) {
  if (image.Descriptor().FindVariable(name) != nullptr) return Place::program;
  const drivebase::ErrorReportingOff probing;
  if (setup.FindVariable(name, 0) != nullptr) return Place::variable;
  if (drivebase::IsDriveRegisterName(name) && setup.FindParameter(name) != nullptr) return Place::driveRegister;
  throw UsageError(std::string(option) + " " + name + ": neither a variable of " + image.Descriptor().name +
                   " nor a drive variable or register of the setup");
}

std::vector<std::pair<std::string, double>> ParseSets(const std::vector<std::string>& sets, const CMC_CoffFormat& image) {
  std::vector<std::pair<std::string, double>> values;
  for (const std::string& set : sets) {
    const std::size_t equals = set.find('=');
    if (equals == std::string::npos) throw UsageError("--set " + set + ": expected NAME=VALUE");
    const std::string name = set.substr(0, equals);
    const std::optional<double> value = ParseNumber(std::string_view(set).substr(equals + 1));
    if (!value) throw UsageError("--set " + set + ": the value is not a number");
    if (image.Descriptor().FindVariable(name) == nullptr) {
      throw UsageError("--set " + set + ": " + image.Descriptor().name + " has no variable " + name);
    }
    values.emplace_back(name, *value);
  }
  return values;
}

std::optional<drivebase::LoggerSettings> Logger(const DriveRunOptions& options, const CMC_Setup& setup,
                                                const CMC_CoffFormat& image) {
  if (options.log.empty() != options.csv.empty()) throw UsageError("--log and --csv go together");
  if (options.log.empty()) return std::nullopt;
  drivebase::LoggerSettings logger{options.logPoints, options.logType == "slow" ? 1 : 2, options.logDivider, {}};
  std::istringstream names(options.log);
  for (std::string name; std::getline(names, name, ',');) {
    PlaceOf(setup, image, name, "--log");
    logger.variables.push_back(name);
  }
  return logger;
}

double ReadProgramVariable(const CMC_CoffFormat& image, const std::string& name) {
  double value = 0.0;
  std::string error;
  if (!drivebase::GetUserVariable(image, name, value, error)) throw Failure(error);
  return value;
}

double Read(const CMC_Setup& setup, const CMC_CoffFormat& image, const NamedValue& named) {
  if (named.place == Place::program) return ReadProgramVariable(image, named.name);
  if (named.place == Place::variable) {
    CMC_Variable* variable = setup.FindVariable(named.name, 0);
    if (!variable->ReadFromChip()) throw Failure(CMC_Comm::GetLastErrorText());
    return variable->GetValueInInternalUnit();
  }
  double value = 0.0;
  if (!CMC_Comm::ReadValue(named.name, setup.FindParameter(named.name)->GetSizeInWords(), value)) {
    throw Failure(CMC_Comm::GetLastErrorText());
  }
  return value;
}

// Polls the program as a test does, every 20 ms, until it has started and switched the axis off
// or the time is up; true when it ended.
bool RunUntilTheEnd(const CMC_CoffFormat& image, Milliseconds limit) {
  ui::EventLoop& loop = ui::CurrentEventLoop();
  const Milliseconds end = loop.Clock().Now() + limit;
  while (loop.Clock().Now() < end) {
    loop.AdvanceTo(std::min(end, loop.Clock().Now() + kPollPeriod));
    if (ReadProgramVariable(image, "STARTED") == 0) continue;
    int on = 0;
    if (!CMC_Comm::GetAxisOn(on)) throw Failure(CMC_Comm::GetLastErrorText());
    if (on == 0) return true;
  }
  return false;
}

void WriteCsv(const std::string& path, const drivebase::LoggerSettings& logger) {
  std::vector<drivebase::LoggedPoint> points;
  if (!CMC_Comm::UploadLog(points)) throw Failure(CMC_Comm::GetLastErrorText());
  std::string text = "time_s";
  for (const std::string& name : logger.variables) text += "," + name;
  text += "\n";
  for (const drivebase::LoggedPoint& point : points) {
    text += NumberText(point.time_s);
    for (double value : point.values) text += "," + NumberText(value);
    text += "\n";
  }
  drivebase::WriteFileAtomically(path, text);
}

}  // namespace

int RunDriveProgram(Host& host, const DriveRunOptions& options) {
  CMC_Setup setup = host.LoadSetup(options.source);
  CMC_CoffFormat image = LoadImage(options.program);
  const auto sets = ParseSets(options.sets, image);
  std::vector<NamedValue> reads;
  for (const std::string& name : options.reads) reads.push_back({name, PlaceOf(setup, image, name, "--read")});
  if (std::none_of(reads.begin(), reads.end(), [](const NamedValue& read) { return read.name == "MER"; })) {
    reads.push_back({"MER", PlaceOf(setup, image, "MER", "--read")});
  }
  std::optional<drivebase::LoggerSettings> logger = Logger(options, setup, image);
  CheckFaults(options.drive, options.faults);

  DriveConnection connection(options.drive, setup);
  InjectFaults(connection, options.faults);
  std::string error;
  for (const auto& [name, value] : sets) {
    if (!drivebase::SetUserVariable(image, name, value, error)) throw Failure(error);
  }
  if (logger && !CMC_Comm::FitLoggerPoints(*logger)) throw Failure(CMC_Comm::GetLastErrorText());
  if (!drivebase::ExecuteProgram(setup, options.program, &image, logger ? &*logger : nullptr)) {
    throw Failure(CMC_Comm::GetLastErrorText());
  }
  const bool bounded = options.forSeconds > 0.0;
  const Milliseconds limit = bounded ? Milliseconds(std::llround(options.forSeconds * 1000.0)) : kLongestRun;
  if (!RunUntilTheEnd(image, limit) && !bounded) {
    throw Failure(options.program + " did not end within " + std::to_string(kLongestRun.count() / 1000) +
                  " s of simulated time (give --for SECONDS for a program that runs until it is stopped)");
  }
  for (const NamedValue& read : reads) std::cout << read.name << " = " << NumberText(Read(setup, image, read)) << '\n';
  if (logger) WriteCsv(options.csv, *logger);
  return 0;
}

}  // namespace kestrel::cli
