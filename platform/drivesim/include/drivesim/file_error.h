// Errors of the motor and drive file loaders: the message names the file, the key and the fault.
#pragma once

#include <stdexcept>
#include <string>

namespace drivesim {

// A motor or drive file that cannot be used; what() = "<file>: <key>: <what is wrong>".
class ModelFileError : public std::runtime_error {
 public:
  ModelFileError(std::string file, std::string key, std::string problem);
  const std::string& File() const { return file_; }        // the file (or source name)
  const std::string& Key() const { return key_; }          // dotted key path, empty for the whole file
  const std::string& Problem() const { return problem_; }  // what is wrong with it

 private:
  std::string file_, key_, problem_;
};

using MotorFileError = ModelFileError;
using DriveFileError = ModelFileError;

}  // namespace drivesim
