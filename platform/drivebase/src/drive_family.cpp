#include "drivebase/drive_family.h"

#include <algorithm>
#include <cctype>

namespace drivebase {

bool IsValidFirmwareId(const std::string& id) {
  return !id.empty() && id.size() <= 15 && std::all_of(id.begin(), id.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
  });
}

}  // namespace drivebase
