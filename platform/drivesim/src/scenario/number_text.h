// A value as the scenario's error messages quote it: the shortest form the stream gives (6 digits).
#pragma once

#include <sstream>
#include <string>

namespace drivesim {

inline std::string NumberText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace drivesim
