// The dialogs' templates pass the framework's validation, from the files and compiled in.
#include <gtest/gtest.h>

#include "dialogs/dialog_resources.h"
#include "ui/dialog_template.h"
#include "ui/template_library.h"

namespace kestrel::dialogs_test {
namespace {

struct TemplateFile {
  unsigned id;
  const char* caption;
};

class DialogTemplates : public ::testing::TestWithParam<TemplateFile> {};

TEST_P(DialogTemplates, LoadFromTheirFilesWithTheirCaptions) {
  const ui::DialogTemplate loaded = ui::LoadDialogTemplate(std::string(KESTREL_RESOURCES_DIR) + "/dialogs/" +
                                                           std::to_string(GetParam().id) + ".json");
  EXPECT_EQ(loaded.id, GetParam().id);
  EXPECT_EQ(loaded.caption, GetParam().caption);
  RegisterDialogTemplates();
  EXPECT_EQ(ui::DialogTemplates().Find(GetParam().id).caption, GetParam().caption) << "compiled in";
}

INSTANTIATE_TEST_SUITE_P(DriveAndMotorSetup, DialogTemplates,
                         ::testing::Values(TemplateFile{106, "Drive Setup"}, TemplateFile{108, "Brushless Motor Setup"}));

}  // namespace
}  // namespace kestrel::dialogs_test
