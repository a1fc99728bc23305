// The drive's program catalogue: every test program with its variable table, as data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drivesim {

// Storage of a program variable in program memory.
enum class VariableType { int16, uint16, int32, fixed16_16 };
// Whether the host writes the variable before a launch, reads it after, or both.
enum class VariableDirection { input, output, in_out };

// One variable of a program's table.
struct ProgramVariable {
  std::string name;
  VariableType type = VariableType::int16;
  VariableDirection direction = VariableDirection::input;
  int size_words = 1;           // 1 for 16-bit types, 2 for 32-bit ones
  std::int32_t initial = 0;     // internal value at launch when the host writes none
};

// One program of the catalogue.
struct ProgramDescriptor {
  std::string name;             // full name: prefix_Base[_LIN]
  std::string base;             // base name
  std::string prefix;           // IE, SC, LH, SSI, RES
  bool linear = false;          // the _LIN variant
  int version = 1;              // checked against the image's descriptor at launch
  std::vector<ProgramVariable> variables;
};

// Every program the simulated drive can run, in a fixed order (prefix order, then base name).
const std::vector<ProgramDescriptor>& ProgramCatalogue();
// The catalogue entry of a full program name (exact spelling), or null.
const ProgramDescriptor* FindProgram(std::string_view fullName);

}  // namespace drivesim
