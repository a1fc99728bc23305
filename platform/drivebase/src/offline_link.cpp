#include "drivebase/offline_link.h"

namespace drivebase {

bool OfflineLink::Refuse(const std::string& attempt) { return Fail("No drive is connected: cannot " + attempt); }

bool OfflineLink::WriteValue(std::string_view name, double, int) { return Refuse("write '" + std::string(name) + "'"); }

bool OfflineLink::ReadValue(std::string_view name, int, double&) { return Refuse("read '" + std::string(name) + "'"); }

}  // namespace drivebase
