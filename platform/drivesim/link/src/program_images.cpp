#include "drivesim_link/program_images.h"

#include <set>

#include "drivebase/atomic_file.h"

namespace drivesim::link {
namespace {

drivebase::ProgramVariableType TypeOf(VariableType type) {
  switch (type) {
    case VariableType::uint16: return drivebase::ProgramVariableType::uint16;
    case VariableType::int32: return drivebase::ProgramVariableType::int32;
    case VariableType::fixed16_16: return drivebase::ProgramVariableType::fixed16_16;
    case VariableType::int16: break;
  }
  return drivebase::ProgramVariableType::int16;
}

drivebase::ProgramVariableDirection DirectionOf(VariableDirection direction) {
  switch (direction) {
    case VariableDirection::output: return drivebase::ProgramVariableDirection::output;
    case VariableDirection::in_out: return drivebase::ProgramVariableDirection::in_out;
    case VariableDirection::input: break;
  }
  return drivebase::ProgramVariableDirection::input;
}

}  // namespace

drivebase::ProgramDescriptor ImageOf(const ProgramDescriptor& program) {
  drivebase::ProgramDescriptor image{program.name, program.base, program.prefix, program.linear, program.version, {}};
  for (const ProgramVariable& variable : program.variables) {
    image.variables.push_back({variable.name, TypeOf(variable.type), DirectionOf(variable.direction),
                               static_cast<double>(variable.initial)});
  }
  return image;
}

void WriteProgramImages(const std::filesystem::path& directory, const Faults& faults) {
  std::filesystem::create_directories(directory);
  std::set<std::filesystem::path> written;
  for (const ProgramDescriptor& listed : ProgramCatalogue()) {
    const std::optional<ProgramDescriptor> program = InstalledProgram(listed.name, faults);
    if (!program) continue;
    const std::filesystem::path path = directory / (program->name + ".out");
    drivebase::WriteFileAtomically(path, drivebase::SerializeProgramDescriptor(ImageOf(*program)));
    written.insert(path);
  }
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().extension() == ".out" && !written.contains(entry.path())) std::filesystem::remove(entry.path());
  }
}

}  // namespace drivesim::link
