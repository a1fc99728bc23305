#include "drivebase/gui_resources.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace drivebase {
namespace {

std::vector<HelpRequest>& Requests() {
  static std::vector<HelpRequest> requests;
  return requests;
}

std::function<void(const HelpRequest&)>& Viewer() {
  static std::function<void(const HelpRequest&)> viewer;
  return viewer;
}

}  // namespace

std::string GetGUIDirectory() {
  const char* configured = std::getenv("KESTREL_GUI_DIR");
  std::string directory = configured != nullptr && *configured != '\0' ? configured : KESTREL_SOURCE_DIR;
  if (directory.back() != '/') directory += '/';
  return directory;
}

std::filesystem::path FindHelpPage(const std::filesystem::path& helpFile, unsigned context) {
  std::ifstream index(helpFile);
  if (!index) throw std::runtime_error(helpFile.string() + ": cannot read the help index");
  // A row of the index: | 262406 | [Drive Setup](drive-setup.md) |
  static const std::regex row(R"(^\|\s*(\d+)\s*\|\s*\[[^\]]*\]\(([^)\s]+)\)\s*\|)");
  std::string line;
  while (std::getline(index, line)) {
    std::smatch match;
    if (!std::regex_search(line, match, row) || match[1].str() != std::to_string(context)) continue;
    const std::filesystem::path page = helpFile.parent_path() / match[2].str();
    if (!std::filesystem::is_regular_file(page)) {
      throw std::runtime_error(helpFile.string() + ": the help page " + page.string() + " of context " +
                               std::to_string(context) + " does not exist");
    }
    return page;
  }
  throw std::runtime_error(helpFile.string() + ": no help page for context " + std::to_string(context));
}

void OpenHelpContext(const std::filesystem::path& helpFile, unsigned context) {
  HelpRequest request{helpFile.string(), context, FindHelpPage(helpFile, context)};
  Requests().push_back(request);
  if (Viewer()) Viewer()(request);
}

const std::vector<HelpRequest>& HelpRequests() { return Requests(); }

void ClearHelpRequests() { Requests().clear(); }

void SetHelpViewer(std::function<void(const HelpRequest&)> viewer) { Viewer() = std::move(viewer); }

GuiModule::GuiModule(std::filesystem::path bitmapDirectory) : bitmaps_(std::move(bitmapDirectory)) {}

bool GuiModule::HasBitmap(const std::string& resourceName) const {
  return !resourceName.empty() && resourceName.find('/') == std::string::npos &&
         std::filesystem::is_regular_file(BitmapFile(resourceName));
}

std::filesystem::path GuiModule::BitmapFile(const std::string& resourceName) const {
  return bitmaps_ / (resourceName + ".svg");
}

}  // namespace drivebase
