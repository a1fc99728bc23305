// Where dialogs find their templates: folders of <id>.json files, and templates added directly
// (for instance compiled into a binary). A template is read once, when first asked for.
#pragma once

#include <filesystem>
#include <map>
#include <vector>

#include "ui/dialog_template.h"

namespace ui {

class TemplateLibrary {
 public:
  // Adds a folder to search (once, however often it is added).
  void AddDirectory(const std::filesystem::path& directory);
  // Adds a template, replacing one of the same id.
  void Add(DialogTemplate dialogTemplate);
  // The template of that id; throws TemplateError when no folder has it or its file is faulty.
  const DialogTemplate& Find(unsigned id);

 private:
  std::vector<std::filesystem::path> directories_;
  std::map<unsigned, DialogTemplate> templates_;
};

// The process's library, which DoModal uses.
TemplateLibrary& DialogTemplates();

}  // namespace ui
