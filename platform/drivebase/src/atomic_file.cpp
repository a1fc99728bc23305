#include "drivebase/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace drivebase {
namespace {

[[noreturn]] void Fail(const std::filesystem::path& target, const std::string& step, int error) {
  throw std::runtime_error("cannot save '" + target.string() + "': " + step + ": " +
                           std::strerror(error));
}

// The mode of the file being replaced, or that of a new file under the process umask.
mode_t ModeFor(const std::filesystem::path& target) {
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Removes the temporary file unless released.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view contents) {
  std::string pattern = target.string() + ".tmp-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) Fail(target, "creating a temporary file beside it", errno);
  TemporaryFile temporary(pattern);

  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      Fail(target, "writing", error);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    Fail(target, "flushing to disk", error);
  }
  if (::close(fd) != 0) Fail(target, "closing", errno);
  // mkstemp creates the file for its owner only; keep the mode the target has or would get.
  if (::chmod(pattern.c_str(), ModeFor(target)) != 0) Fail(target, "setting its mode", errno);
  if (::rename(pattern.c_str(), target.c_str()) != 0) Fail(target, "replacing it", errno);
  temporary.Release();
}

}  // namespace drivebase
