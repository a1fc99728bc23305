// Replacing a file so that it is either the old file or the complete new one, never a mix.
#pragma once

#include <filesystem>
#include <string_view>

namespace drivebase {

// Writes the contents to a temporary file beside the target, flushes it to the disk, then
// renames it over the target. Throws std::runtime_error naming the file and the cause; the
// target is then unchanged and the temporary file removed.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace drivebase
