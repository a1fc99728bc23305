#include "dialogs/dialog_resources.h"

#include <string>
#include <string_view>

#include "ui/template_library.h"

namespace kestrel {
namespace resources {
std::string_view DialogTemplate106();
std::string_view DialogTemplate108();
std::string_view DialogTemplate110();
std::string_view DialogTemplate111();
std::string_view DialogTemplate3018();
std::string_view DialogTemplate3072();
}  // namespace resources

void RegisterDialogTemplates() {
  static const bool registered = [] {
    ui::TemplateLibrary& library = ui::DialogTemplates();
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate106(), "resources/dialogs/106.json"));
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate108(), "resources/dialogs/108.json"));
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate110(), "resources/dialogs/110.json"));
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate111(), "resources/dialogs/111.json"));
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate3018(), "resources/dialogs/3018.json"));
    library.Add(ui::ParseDialogTemplate(resources::DialogTemplate3072(), "resources/dialogs/3072.json"));
    return true;
  }();
  (void)registered;
}

}  // namespace kestrel
