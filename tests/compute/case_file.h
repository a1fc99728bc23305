// The data files of the computation tests in cases/.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace kestrel::test_support {

inline nlohmann::json ReadCaseFile(const std::string& name) {
  const std::string path = std::string(KESTREL_COMPUTE_CASES_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  return nlohmann::json::parse(in);
}

}  // namespace kestrel::test_support
