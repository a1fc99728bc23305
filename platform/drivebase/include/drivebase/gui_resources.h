// The host's user-interface resources on disk: the GUI directory, the help pages and the bitmaps.
//
// The GUI directory is $KESTREL_GUI_DIR when set, else the folder Kestrel was built from. It holds
// resources/dialogs (templates), resources/bitmaps (<resource name>.svg) and docs/help (the help
// index README.md and one page per dialog and test).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace drivebase {

// The GUI directory, with a trailing separator (help file names are joined to it directly).
std::string GetGUIDirectory();

// --- Help. The index (docs/help/README.md) has a table row per page: "| 262406 | [Drive Setup](drive-setup.md) |".
struct HelpRequest {
  std::string helpFile;  // the index, as GetGUIDirectory() + GetHelpFileOfGUI()
  unsigned context = 0;
  std::filesystem::path page;  // the page of the context
};

// The page of a context number in a help index; throws std::runtime_error naming the index and
// the context when the index cannot be read or has no page for it, or the page is missing.
std::filesystem::path FindHelpPage(const std::filesystem::path& helpFile, unsigned context);

// Opens the page of the context: records the request (HelpRequests) and hands it to the help
// viewer when one is installed. Throws as FindHelpPage.
void OpenHelpContext(const std::filesystem::path& helpFile, unsigned context);

// The requests made so far in this process (headless runs inspect them); ClearHelpRequests
// forgets them.
const std::vector<HelpRequest>& HelpRequests();
void ClearHelpRequests();
// The viewer of a graphical front end; an empty function: none (requests are only recorded).
void SetHelpViewer(std::function<void(const HelpRequest&)> viewer);

// --- Bitmaps: a resource is found by its name ("TO_MOTORSETUP") or by its number (3066, named
// "3066"), as the file resources/bitmaps/<name>.svg of the GUI directory.
class GuiModule {
 public:
  explicit GuiModule(std::filesystem::path bitmapDirectory);
  // The resource name of a numbered bitmap ("3066").
  static std::string ResourceName(unsigned resourceId) { return std::to_string(resourceId); }
  bool HasBitmap(const std::string& resourceName) const;
  std::filesystem::path BitmapFile(const std::string& resourceName) const;
  const std::filesystem::path& BitmapDirectory() const { return bitmaps_; }

 private:
  std::filesystem::path bitmaps_;
};

}  // namespace drivebase
