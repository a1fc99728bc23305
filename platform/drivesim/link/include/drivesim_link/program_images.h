// The program images of the simulated drive's programs, as the host loads them.
#pragma once

#include <filesystem>

#include "drivebase/program_image.h"
#include "drivesim/faults.h"

namespace drivesim::link {

// The image descriptor of a program the drive holds.
drivebase::ProgramDescriptor ImageOf(const ProgramDescriptor& program);

// Writes "<program>.out" for every program a drive with these faults holds into `directory`
// (created when missing) and removes the other images there. Throws std::exception on failure.
void WriteProgramImages(const std::filesystem::path& directory, const Faults& faults = {});

}  // namespace drivesim::link
