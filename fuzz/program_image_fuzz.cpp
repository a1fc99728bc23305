// Fuzzes the program image loader: every input is either refused with ProgramImageError or reads
// into a descriptor that writes out, reads again and writes out again to exactly the same text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "drivebase/program_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  drivebase::ProgramDescriptor descriptor;
  try {
    descriptor = drivebase::ParseProgramDescriptor(text, "input");
  } catch (const drivebase::ProgramImageError&) {
    return 0;
  }
  const std::string written = drivebase::SerializeProgramDescriptor(descriptor);
  const std::string again = drivebase::SerializeProgramDescriptor(drivebase::ParseProgramDescriptor(written, "written"));
  if (again != written) std::abort();
  return 0;
}
