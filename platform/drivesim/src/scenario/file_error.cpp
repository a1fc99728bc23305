#include "drivesim/file_error.h"

#include <utility>

namespace drivesim {

namespace {
std::string Compose(const std::string& file, const std::string& key, const std::string& problem) {
  if (key.empty()) return file + ": " + problem;
  return file + ": " + key + ": " + problem;
}
}  // namespace

ModelFileError::ModelFileError(std::string file, std::string key, std::string problem)
    : std::runtime_error(Compose(file, key, problem)),
      file_(std::move(file)),
      key_(std::move(key)),
      problem_(std::move(problem)) {}

}  // namespace drivesim
