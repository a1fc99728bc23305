#include "drivesim_link/simulator_link.h"

#include <cmath>
#include <limits>

#include "drivebase/program_image.h"

namespace drivesim::link {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The 32-bit word the drive holds for an internal value: unsigned 32-bit values above the signed
// range keep their bits; everything else is rounded to nearest and saturated.
std::int32_t Word(double internal) {
  constexpr double kTwoTo31 = 2147483648.0;
  constexpr double kTwoTo32 = 4294967296.0;
  if (std::isnan(internal)) return 0;
  const double rounded = std::round(internal);
  if (rounded >= kTwoTo31 && rounded < kTwoTo32) return static_cast<std::int32_t>(rounded - kTwoTo32);
  if (rounded >= kTwoTo31) return std::numeric_limits<std::int32_t>::max();
  if (rounded < -kTwoTo31) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(rounded);
}

const ProgramVariable* CatalogueVariable(const ProgramDescriptor& program, std::string_view name) {
  for (const ProgramVariable& variable : program.variables) {
    if (variable.name == name) return &variable;
  }
  return nullptr;
}

// The drive's configuration from the setup values the host sends with a launch; what the setup
// lacks keeps the drive's default.
SetupOptions ConfigurationOf(const std::vector<drivebase::DriveValue>& values) {
  SetupOptions options;
  for (const drivebase::DriveValue& value : values) {
    const auto code = static_cast<int>(std::trunc(value.internal));
    if (value.name == "MotorSensorConnector") options.motor_sensor_connector = code;
    if (value.name == "LoadSensorConnector") options.load_sensor_connector = code;
    if (value.name == "SINCOS_fract") options.sincos_fract = code;
    if (value.name == "SINCOS_fract_LD") options.sincos_fract_ld = code;
    if (value.name == "AnalogueInputsRange") options.analogue_inputs_range_V = value.internal;
  }
  return options;
}

ScopeSettings ScopeOf(const drivebase::ScopeSettings& host) {
  ScopeSettings scope{host.channels, host.type, host.divider, host.window, host.single, std::nullopt};
  if (host.trigger) {
    scope.trigger = ScopeTrigger{host.trigger->variable, Word(host.trigger->level), host.trigger->rising,
                                 host.trigger->pretrigger};
  }
  return scope;
}

}  // namespace

SimulatorLink::SimulatorLink(Drive drive, std::string description, HostClock& clock)
    : drive_(std::move(drive)), description_(std::move(description)), clock_(clock) {}

// A transaction cannot leave before the answer of the previous one has arrived.
double SimulatorLink::Send() {
  const double sent_s = std::max(clock_.Now_s(), linkFree_s_);
  drive_.RunUntil(sent_s);
  return sent_s;
}

void SimulatorLink::Answer(double sent_s, long long roundTrips) {
  linkFree_s_ = sent_s + static_cast<double>(roundTrips) * drive_.LinkLatency_s();
  clock_.WaitUntil(linkFree_s_);
}

template <class Act>
bool SimulatorLink::Transact(Act act) {
  const double sent_s = Send();
  const bool done = act();
  Answer(sent_s, 1);
  return done;
}

bool SimulatorLink::WriteValue(std::string_view name, double internal, int) {
  return Transact([&] {
    return drive_.WriteVariable(name, Word(internal)) ||
           Fail("The drive has no variable or register " + Quoted(name) + " to write");
  });
}

bool SimulatorLink::ReadValue(std::string_view name, int, double& internal) {
  return Transact([&] {
    const std::optional<std::int32_t> value = drive_.ReadVariable(name);
    if (!value) return Fail("The drive has no variable or register " + Quoted(name) + " to read");
    internal = *value;
    return true;
  });
}

bool SimulatorLink::Launch(const drivebase::ProgramLaunch& launch) {
  const std::optional<ProgramDescriptor> program = drive_.Program(launch.program);
  if (!program) return Fail("The drive has no program " + Quoted(launch.program));
  if (launch.imageVersion && *launch.imageVersion != program->version) {
    return Fail("The program image of " + Quoted(launch.program) + " has version " +
                std::to_string(*launch.imageVersion) + " but the drive runs version " +
                std::to_string(program->version) + ": the program images need rebuilding");
  }
  RegisterValues registers;
  for (const drivebase::DriveValue& value : launch.registers) registers[value.name] = Word(value.internal);
  // Outputs are the program's to write; an image variable the program lacks is refused by it.
  std::map<std::string, double, std::less<>> inputs;
  for (const drivebase::DriveValue& variable : launch.variables) {
    const ProgramVariable* known = CatalogueVariable(*program, variable.name);
    if (known == nullptr || known->direction != VariableDirection::output) inputs[variable.name] = variable.internal;
  }
  std::optional<LoggerSettings> logger;
  if (launch.logger) {
    logger = LoggerSettings{launch.logger->points, launch.logger->type, launch.logger->divider,
                            launch.logger->variables};
  }
  return Transact([&] {
    const std::string refused = "The drive refused to launch " + Quoted(launch.program) + ": ";
    if (const Status configured = drive_.SetSetupOptions(ConfigurationOf(launch.configuration)); !configured.ok()) {
      return Fail(refused + configured.error);
    }
    if (const Status loaded = drive_.LoadRegisters(registers); !loaded.ok()) return Fail(refused + loaded.error);
    drive_.ClearLatchedErrors();
    if (const Status started = drive_.Launch(launch.program, inputs, logger); !started.ok()) {
      return Fail(refused + started.error);
    }
    loggedVariables_ = logger ? logger->variables : std::vector<std::string>{};
    return true;
  });
}

bool SimulatorLink::WriteProgramVariable(std::string_view name, double internal) {
  return Transact([&] {
    const ProgramDescriptor* program = drive_.LoadedProgramDescriptor();
    if (program == nullptr || CatalogueVariable(*program, name) == nullptr) {
      return Fail("The program on the drive has no variable " + Quoted(name) + " to write");
    }
    return drive_.WriteVariable(name, internal) || Fail("The drive refused to write " + Quoted(name));
  });
}

bool SimulatorLink::ReadProgramVariable(std::string_view name, double& internal) {
  return Transact([&] {
    const ProgramDescriptor* program = drive_.LoadedProgramDescriptor();
    const std::optional<std::int32_t> value = drive_.ReadVariable(name);
    if (program == nullptr || CatalogueVariable(*program, name) == nullptr || !value) {
      return Fail("The program on the drive has no variable " + Quoted(name) + " to read");
    }
    internal = drive_.ProgramValueMissing(name) ? drivebase::kNoValue : *value;
    return true;
  });
}

bool SimulatorLink::StopProgram() {
  return Transact([&] {
    drive_.StopProgram();
    return true;
  });
}

bool SimulatorLink::GetAxisOn(bool& on) {
  return Transact([&] {
    on = drive_.AxisOn();
    return true;
  });
}

bool SimulatorLink::Reset() {
  return Transact([&] {
    drive_.Reset();
    return true;
  });
}

bool SimulatorLink::ExecuteString(std::string_view command) {
  return Transact([&] {
    const Status status = drive_.ExecuteCommand(command);
    return status.ok() || Fail("The drive refused the command " + Quoted(command) + ": " + status.error);
  });
}

int SimulatorLink::WordsPerPoint(const std::vector<std::string>& variables) const {
  int words = 0;
  for (const std::string& name : variables) words += std::max(1, drive_.WordsOf(name));
  return words;
}

// The host knows the size of the drive's logger memory: sizing the logger needs no transaction.
bool SimulatorLink::FitLoggerPoints(drivebase::LoggerSettings& settings) {
  std::vector<int> words;
  for (const std::string& name : settings.variables) words.push_back(std::max(1, drive_.WordsOf(name)));
  const LoggerSettings asked{settings.points, settings.type, settings.divider, settings.variables};
  settings.points = Drive::FittingPoints(asked, drive_.Hardware().log_buffer_words, words);
  return true;
}

// An upload answers after one latency per 64 words of logged data.
bool SimulatorLink::UploadLog(std::vector<drivebase::LoggedPoint>& points) {
  const double sent_s = Send();
  const std::vector<LogPoint> logged = drive_.UploadLog();
  points.clear();
  for (const LogPoint& point : logged) points.push_back({point.time_s, {point.values.begin(), point.values.end()}});
  const long long words = static_cast<long long>(logged.size()) * WordsPerPoint(loggedVariables_);
  Answer(sent_s, std::max(1LL, (words + 63) / 64));
  return true;
}

bool SimulatorLink::ReceiveUnsolicited(std::vector<drivebase::UnsolicitedMessage>& messages) {
  return Transact([&] {
    messages.clear();
    for (UnsolicitedMessage& message : drive_.TakeUnsolicitedMessages()) messages.push_back(std::move(message.words));
    return true;
  });
}

bool SimulatorLink::ArmScope(const drivebase::ScopeSettings& settings) {
  return Transact([&] {
    const Status armed = drive_.ArmScope(ScopeOf(settings));
    return armed.ok() || Fail("The drive refused to arm the scope: " + armed.error);
  });
}

bool SimulatorLink::DisarmScope() {
  return Transact([&] {
    drive_.DisarmScope();
    return true;
  });
}

bool SimulatorLink::GetScopeRunning(bool& running) {
  return Transact([&] {
    running = drive_.ScopeRunning();
    return true;
  });
}

}  // namespace drivesim::link
