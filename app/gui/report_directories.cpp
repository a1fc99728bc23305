#include "report_directories.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace kestrel::gui {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "/reports/";
// More reports beside one setup than anyone keeps.
constexpr int kMostReportsBesideASetup = 1000;

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// The path with its %XX escapes decoded; none for a broken escape or a NUL.
std::optional<std::string> Decoded(std::string_view path) {
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '%') {
      decoded += path[i];
      continue;
    }
    const std::optional<int> high = i + 2 < path.size() ? HexDigit(path[i + 1]) : std::nullopt;
    const std::optional<int> low = i + 2 < path.size() ? HexDigit(path[i + 2]) : std::nullopt;
    if (!high || !low || (*high == 0 && *low == 0)) return std::nullopt;
    decoded += static_cast<char>(*high * 16 + *low);
    i += 2;
  }
  return decoded;
}

// A path inside a report: segments that name files and folders, none that climbs or is empty.
bool StaysInside(std::string_view relative) {
  while (true) {
    const std::size_t end = relative.find('/');
    const std::string_view segment = relative.substr(0, end);
    if (segment.empty() || segment == "." || segment == ".." || segment.find('\\') != std::string_view::npos) {
      return false;
    }
    if (end == std::string_view::npos) return true;
    relative.remove_prefix(end + 1);
  }
}

bool IsWithin(const fs::path& file, const fs::path& directory) {
  auto inner = file.begin();
  for (auto outer = directory.begin(); outer != directory.end(); ++outer, ++inner) {
    if (inner == file.end() || *inner != *outer) return false;
  }
  return inner != file.end();
}

std::string ContentType(const fs::path& file) {
  const std::string extension = file.extension().string();
  if (extension == ".html") return "text/html; charset=utf-8";
  if (extension == ".svg") return "image/svg+xml";
  if (extension == ".csv") return "text/csv; charset=utf-8";
  if (extension == ".json") return "application/json";
  if (extension == ".txt") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

std::optional<std::string> Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return std::nullopt;
  return text.str();
}

fs::path TemporaryReportDirectory() {
  std::string pattern = (fs::temp_directory_path() / "kestrel-commissioning-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a report directory " + pattern + ": " +
                             std::error_code(errno, std::generic_category()).message());
  }
  return pattern;
}

}  // namespace

std::string ReportDirectories::Add(const fs::path& directory) {
  std::error_code error;
  fs::path canonical = fs::canonical(directory, error);
  if (error || !fs::is_directory(canonical)) {
    throw std::runtime_error(directory.string() + ": no report directory to serve");
  }
  const std::lock_guard lock(mutex_);
  directories_.push_back(std::move(canonical));
  return std::string(kPrefix) + std::to_string(directories_.size()) + "/index.html";
}

std::optional<ServedFile> ReportDirectories::Find(std::string_view path) const {
  if (!path.starts_with(kPrefix)) return std::nullopt;
  const std::optional<std::string> decoded = Decoded(path.substr(kPrefix.size()));
  if (!decoded) return std::nullopt;
  const std::size_t slash = decoded->find('/');
  if (slash == std::string::npos || slash == 0 || slash > 6 || decoded->find_first_not_of("0123456789") != slash) {
    return std::nullopt;
  }
  const std::string relative = decoded->substr(slash + 1);
  if (!StaysInside(relative)) return std::nullopt;
  fs::path directory;
  {
    const std::lock_guard lock(mutex_);
    const std::size_t number = std::stoul(decoded->substr(0, slash));
    if (number == 0 || number > directories_.size()) return std::nullopt;
    directory = directories_[number - 1];
  }
  // A link inside the report may point anywhere: what it resolves to must still be inside.
  std::error_code error;
  const fs::path file = fs::canonical(directory / relative, error);
  if (error || !IsWithin(file, directory) || !fs::is_regular_file(file, error)) return std::nullopt;
  std::optional<std::string> body = Contents(file);
  if (!body) return std::nullopt;
  return ServedFile{ContentType(file), std::move(*body)};
}

fs::path NewReportDirectory(const std::string& setupFile) {
  if (setupFile.empty()) return TemporaryReportDirectory();
  const fs::path setup = fs::absolute(setupFile);
  const std::string name = setup.stem().string() + "-commissioning";
  for (int number = 1; number <= kMostReportsBesideASetup; ++number) {
    const fs::path directory = setup.parent_path() / (number == 1 ? name : name + "-" + std::to_string(number));
    std::error_code error;
    if (fs::create_directory(directory, error)) return directory;
    if (error && !fs::exists(directory)) throw std::runtime_error("cannot make the report directory " + directory.string() + ": " + error.message());
  }
  throw std::runtime_error("cannot make a report directory beside " + setup.string() + ": " +
                           std::to_string(kMostReportsBesideASetup) + " are there already");
}

}  // namespace kestrel::gui
