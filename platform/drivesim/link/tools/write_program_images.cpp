// Writes the program image of every program in the simulated drive's catalogue into a directory
// ("<program>.out", the descriptor the host loads) and removes images of programs the catalogue
// no longer has. Run at build time: write_program_images DIRECTORY
#include <filesystem>
#include <iostream>
#include <set>

#include "drivebase/atomic_file.h"
#include "drivebase/program_image.h"
#include "drivesim/catalogue.h"

namespace {

drivebase::ProgramVariableType TypeOf(drivesim::VariableType type) {
  switch (type) {
    case drivesim::VariableType::uint16: return drivebase::ProgramVariableType::uint16;
    case drivesim::VariableType::int32: return drivebase::ProgramVariableType::int32;
    case drivesim::VariableType::fixed16_16: return drivebase::ProgramVariableType::fixed16_16;
    case drivesim::VariableType::int16: break;
  }
  return drivebase::ProgramVariableType::int16;
}

drivebase::ProgramVariableDirection DirectionOf(drivesim::VariableDirection direction) {
  switch (direction) {
    case drivesim::VariableDirection::output: return drivebase::ProgramVariableDirection::output;
    case drivesim::VariableDirection::in_out: return drivebase::ProgramVariableDirection::in_out;
    case drivesim::VariableDirection::input: break;
  }
  return drivebase::ProgramVariableDirection::input;
}

drivebase::ProgramDescriptor ImageOf(const drivesim::ProgramDescriptor& program) {
  drivebase::ProgramDescriptor image{program.name, program.base, program.prefix, program.linear, program.version, {}};
  for (const drivesim::ProgramVariable& variable : program.variables) {
    image.variables.push_back({variable.name, TypeOf(variable.type), DirectionOf(variable.direction),
                               static_cast<double>(variable.initial)});
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_program_images DIRECTORY\n";
    return 2;
  }
  try {
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    std::set<std::filesystem::path> written;
    for (const drivesim::ProgramDescriptor& program : drivesim::ProgramCatalogue()) {
      const std::filesystem::path path = directory / (program.name + ".out");
      drivebase::WriteFileAtomically(path, drivebase::SerializeProgramDescriptor(ImageOf(program)));
      written.insert(path);
    }
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      if (entry.path().extension() == ".out" && !written.contains(entry.path())) std::filesystem::remove(entry.path());
    }
  } catch (const std::exception& error) {
    std::cerr << "write_program_images: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
