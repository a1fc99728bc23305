// Runs the kestrel command as a user runs it, in a scratch directory of its own.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace kestrel::test_support {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::filesystem::path Path(const std::string& name) const { return path_ / name; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name).string();
  }

  // Runs kestrel with the arguments (shell words), capturing both output streams.
  Outcome Run(const std::string& arguments) const {
    const std::string err = Path("stderr.txt").string();
    const std::string command = std::string(KESTREL_BINARY) + " " + arguments + " 2>" + err;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadText(err)};
  }

  // Runs kestrel, which must succeed.
  Outcome Succeeds(const std::string& arguments) const {
    Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.status, 0) << "kestrel " << arguments << ": " << outcome.err;
    return outcome;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kestrel::test_support
