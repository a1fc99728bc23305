// Program images: what the host knows of a drive test program before it launches it. An image
// file ("<program>.out" in the program directory) is a small JSON descriptor of the program: its
// names, its version and its variable table (docs/program-images.md).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace drivebase {

inline constexpr std::string_view kProgramImageFormat = "kestrel_program";
inline constexpr int kProgramImageFormatVersion = 1;

// A program variable read with no value (an output the program never wrote).
inline constexpr double kNoValue = 1.2345e100;

// How program memory stores a variable. A 16.16 fixed-point variable is one 32-bit word that
// holds value·65536; CMC_CoffFormat holds the words, the user-variable access (SetUserVariable,
// GetUserVariable) takes and gives the values.
enum class ProgramVariableType { int16, uint16, int32, fixed16_16 };

std::string_view ProgramVariableTypeName(ProgramVariableType type);
std::optional<ProgramVariableType> ProgramVariableTypeFromName(std::string_view name);
int SizeInWords(ProgramVariableType type);
// The word as program memory holds it: rounded to nearest (ties away from zero) and saturated
// to the type's range; none for a value that is not a number.
std::optional<double> StoreAs(ProgramVariableType type, double value);

enum class ProgramVariableDirection { input, output, in_out };

std::string_view ProgramVariableDirectionName(ProgramVariableDirection direction);

struct ProgramVariableSpec {
  std::string name;
  ProgramVariableType type = ProgramVariableType::int16;
  ProgramVariableDirection direction = ProgramVariableDirection::input;
  double initial = 0.0;  // the word at launch when the host writes none
};

struct ProgramDescriptor {
  std::string name;    // prefix_Base, with "_LIN" for the linear variant
  std::string base;
  std::string prefix;
  bool linear = false;
  int version = 1;
  std::vector<ProgramVariableSpec> variables;

  const ProgramVariableSpec* FindVariable(std::string_view variable) const;
};

// A descriptor text that cannot be used; what() names the source and the fault.
class ProgramImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a descriptor; source names it in messages. Throws ProgramImageError.
ProgramDescriptor ParseProgramDescriptor(std::string_view text, const std::string& source);
std::string SerializeProgramDescriptor(const ProgramDescriptor& descriptor);

// Where program images live: "programs" beside the running executable unless set (an empty
// path restores that default).
std::filesystem::path ProgramDirectory();
void SetProgramDirectory(const std::filesystem::path& directory);
// The image file of a program: "<program directory>/<program>.out".
std::filesystem::path ProgramImagePath(std::string_view program);

}  // namespace drivebase

// A program image, loaded from its file, with the values of its user variables as they will go
// to program memory at the launch.
class CMC_CoffFormat {
 public:
  void SetFileName(std::string path) { fileName_ = std::move(path); }
  const std::string& GetFileName() const { return fileName_; }

  // Loads the image of the file name set before, or of `path`. On failure the image is left as
  // it was and GetLoadError names the file and what is wrong.
  bool ReadCoff();
  bool ReadCoff(const std::string& path);

  bool IsLoaded() const { return descriptor_.has_value(); }
  const std::string& GetLoadError() const { return loadError_; }
  // The loaded descriptor; only while IsLoaded.
  const drivebase::ProgramDescriptor& Descriptor() const { return *descriptor_; }

  // The variable's word in the image (the initial value until written). False for a variable
  // the image does not have.
  bool GetVariableValue(std::string_view name, double& internal) const;
  // Stores the word as its type holds it; false for a variable the image lacks or no number.
  bool SetVariableValue(std::string_view name, double internal);
  // Every variable's word, in table order.
  const std::vector<double>& VariableValues() const { return values_; }

  // The launch that put this image's values into program memory (CMC_Comm::Launch); 0 before.
  std::uint64_t LaunchSerial() const { return launchSerial_; }
  void SetLaunchSerial(std::uint64_t serial) { launchSerial_ = serial; }

 private:
  std::string fileName_;
  std::optional<drivebase::ProgramDescriptor> descriptor_;
  std::vector<double> values_;
  std::string loadError_;
  std::uint64_t launchSerial_ = 0;
};
