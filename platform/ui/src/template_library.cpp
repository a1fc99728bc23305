#include "ui/template_library.h"

#include <algorithm>
#include <string>

namespace ui {

void TemplateLibrary::AddDirectory(const std::filesystem::path& directory) {
  if (std::find(directories_.begin(), directories_.end(), directory) == directories_.end()) {
    directories_.push_back(directory);
  }
}

void TemplateLibrary::Add(DialogTemplate dialogTemplate) {
  const unsigned id = dialogTemplate.id;
  templates_.insert_or_assign(id, std::move(dialogTemplate));
}

const DialogTemplate& TemplateLibrary::Find(unsigned id) {
  if (const auto found = templates_.find(id); found != templates_.end()) return found->second;
  const std::string fileName = std::to_string(id) + ".json";
  std::string searched;
  for (const std::filesystem::path& directory : directories_) {
    const std::filesystem::path file = directory / fileName;
    searched += (searched.empty() ? "" : ", ") + directory.string();
    if (!std::filesystem::exists(file)) continue;
    DialogTemplate loaded = LoadDialogTemplate(file);
    if (loaded.id != id) {
      throw TemplateError(file.string() + ": holds template " + std::to_string(loaded.id) +
                          "; the file of a template is named after its id");
    }
    return templates_.emplace(id, std::move(loaded)).first->second;
  }
  throw TemplateError("no dialog template " + std::to_string(id) + " (searched: " +
                      (searched.empty() ? "no template folder is set" : searched) + ")");
}

TemplateLibrary& DialogTemplates() {
  static TemplateLibrary library;
  return library;
}

}  // namespace ui
