#include "drivebase/program_launch.h"

#include <algorithm>

#include "drivebase/error_report.h"

namespace drivebase {
namespace {

bool IsCapitalNameCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

bool IsOnDrive(const CMC_CoffFormat& image) {
  return image.LaunchSerial() != 0 && image.LaunchSerial() == CMC_Comm::CurrentLaunch();
}

bool Refuse(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

bool RefuseLaunch(std::string text) {
  CMC_Comm::SetLastErrorText(std::move(text));
  return false;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A 16.16 fixed-point variable's word is its value × 65536; the other types hold the value itself.
// A word that holds no value reads as no value.
double WordOf(const ProgramVariableSpec& variable, double value) {
  return variable.type == ProgramVariableType::fixed16_16 ? value * 65536.0 : value;
}
double ValueOf(const ProgramVariableSpec& variable, double word) {
  if (variable.type != ProgramVariableType::fixed16_16 || word == kNoValue) return word;
  return word / 65536.0;
}

}  // namespace

bool IsDriveRegisterName(std::string_view name) {
  return name.size() > 1 && std::all_of(name.begin(), name.end(), IsCapitalNameCharacter) &&
         std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::vector<DriveValue> SetupRegisters(const CMC_Setup& setup) {
  std::vector<DriveValue> registers;
  for (const std::unique_ptr<CMC_Parameter>& parameter : setup.Parameters()) {
    if (!IsDriveRegisterName(parameter->GetName())) continue;
    registers.push_back({parameter->GetName(), parameter->GetValueInInternalUnit(), parameter->GetSizeInWords()});
  }
  return registers;
}

std::vector<DriveValue> SetupConfiguration(const CMC_Setup& setup) {
  static constexpr std::string_view kConfiguration[] = {"MotorSensorConnector", "LoadSensorConnector",
                                                        "SINCOS_fract", "SINCOS_fract_LD", "AnalogueInputsRange"};
  const ErrorReportingOff probing;  // a drive without a sensor input or analogue input has none of them
  std::vector<DriveValue> configuration;
  for (const std::string_view name : kConfiguration) {
    const CMC_Parameter* parameter = setup.FindParameter(name);
    if (parameter == nullptr) continue;
    configuration.push_back({parameter->GetName(), parameter->GetValueInInternalUnit(), parameter->GetSizeInWords()});
  }
  return configuration;
}

bool ExecuteProgram(const CMC_Setup& setup, std::string_view program, CMC_CoffFormat* image,
                    const LoggerSettings* logger) {
  ProgramLaunch launch;
  launch.program = std::string(program);
  if (program.empty()) return RefuseLaunch("No program to launch: the program name is empty");
  if (image != nullptr) {
    if (!image->IsLoaded()) {
      return RefuseLaunch("Cannot launch " + Quoted(program) + ": its program image is not loaded (" +
                          (image->GetLoadError().empty() ? "no file was read" : image->GetLoadError()) + ")");
    }
    const ProgramDescriptor& descriptor = image->Descriptor();
    if (descriptor.name != program) {
      return RefuseLaunch("Cannot launch " + Quoted(program) + " with the program image of " +
                          Quoted(descriptor.name));
    }
    launch.imageVersion = descriptor.version;
    for (std::size_t i = 0; i < descriptor.variables.size(); ++i) {
      const ProgramVariableSpec& variable = descriptor.variables[i];
      launch.variables.push_back({variable.name, image->VariableValues()[i], SizeInWords(variable.type)});
    }
  }
  launch.registers = SetupRegisters(setup);
  launch.configuration = SetupConfiguration(setup);
  if (logger != nullptr) launch.logger = *logger;
  const std::uint64_t serial = CMC_Comm::Launch(launch);
  if (serial == 0) return false;
  if (image != nullptr) image->SetLaunchSerial(serial);
  return true;
}

bool SetUserVariable(CMC_CoffFormat& image, std::string_view name, double value, std::string& error) {
  if (!image.IsLoaded()) return Refuse(error, "Cannot write " + Quoted(name) + ": the program image is not loaded");
  const ProgramDescriptor& descriptor = image.Descriptor();
  const ProgramVariableSpec* variable = descriptor.FindVariable(name);
  if (variable == nullptr) {
    return Refuse(error, "The program " + Quoted(descriptor.name) + " has no variable " + Quoted(name));
  }
  const double word = WordOf(*variable, value);
  if (IsOnDrive(image)) {
    if (CMC_Comm::WriteProgramVariable(name, word)) return true;
    return Refuse(error, CMC_Comm::GetLastErrorText());
  }
  if (image.SetVariableValue(name, word)) return true;
  return Refuse(error, "Cannot write " + Quoted(name) + " of " + Quoted(descriptor.name) + ": not a number");
}

bool GetUserVariable(const CMC_CoffFormat& image, std::string_view name, double& value, std::string& error) {
  if (!image.IsLoaded()) return Refuse(error, "Cannot read " + Quoted(name) + ": the program image is not loaded");
  const ProgramDescriptor& descriptor = image.Descriptor();
  const ProgramVariableSpec* variable = descriptor.FindVariable(name);
  if (variable == nullptr) {
    return Refuse(error, "The program " + Quoted(descriptor.name) + " has no variable " + Quoted(name));
  }
  double word = 0.0;
  const bool read = IsOnDrive(image) ? CMC_Comm::ReadProgramVariable(name, word) : image.GetVariableValue(name, word);
  if (!read) return Refuse(error, IsOnDrive(image) ? CMC_Comm::GetLastErrorText() : "Cannot read " + Quoted(name));
  value = ValueOf(*variable, word);
  return true;
}

}  // namespace drivebase
