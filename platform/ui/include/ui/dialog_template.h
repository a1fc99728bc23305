// Dialog templates: a caption and groups of rows of controls, one JSON file per template
// (docs/dialog-templates.md). They hold no coordinates; a front end lays the groups out.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_kind.h"
#include "ui/win_types.h"

namespace ui {

struct ControlTemplate {
  int id = IDC_STATIC;  // labels that no code addresses may go without one
  ControlKind kind = ControlKind::Static;
  std::string text;
  bool firstOfGroup = false;  // a radio button that begins a radio group
  int unitCombo = 0;          // an edit's unit combo (0: none)
  bool multiline = false;     // an edit that holds several lines of text
  bool hidden = false;
  bool disabled = false;
  std::string bitmap;  // the bitmap resource of a picture or a button
};

using ControlRow = std::vector<ControlTemplate>;

struct GroupTemplate {
  int id = IDC_STATIC;  // the frame's own id, when code addresses it
  std::string caption;  // empty: no frame
  std::vector<ControlRow> rows;
};

struct DialogTemplate {
  unsigned id = 0;
  std::string caption;
  std::vector<GroupTemplate> groups;
  std::string source;  // the file or the name it came from
};

// A template that cannot be used; the message names the source, then each fault with the place
// of the control it concerns.
class TemplateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and validates a template; `source` names it in messages. Throws TemplateError.
DialogTemplate ParseDialogTemplate(std::string_view json, const std::string& source);
DialogTemplate LoadDialogTemplate(const std::filesystem::path& file);

}  // namespace ui
