#include "ui/dialog_template.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/template_library.h"

namespace ui {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// A template of one group whose single row holds the controls given as JSON.
std::string OneRow(const std::string& controls) {
  return R"({"id": 500, "caption": "Small", "groups": [{"caption": "Only", "rows": [[)" + controls + "]]}]}";
}

struct FaultyTemplate {
  const char* name;
  std::string json;
  const char* fault;
};

class FaultyTemplates : public ::testing::TestWithParam<FaultyTemplate> {};

TEST_P(FaultyTemplates, FailNamingTheSourceThePlaceAndTheFault) {
  try {
    ParseDialogTemplate(GetParam().json, "faulty.json");
    FAIL() << "accepted";
  } catch (const TemplateError& error) {
    EXPECT_THAT(error.what(), StartsWith("faulty.json: "));
    EXPECT_THAT(error.what(), HasSubstr(GetParam().fault));
  }
}

INSTANTIATE_TEST_SUITE_P(
    DialogTemplates, FaultyTemplates,
    ::testing::Values(
        FaultyTemplate{"NotJson", "{\"id\": 1,", "not valid JSON"},
        FaultyTemplate{"NotAnObject", "[1, 2]", "the template: must be a JSON object"},
        FaultyTemplate{"NoCaption", R"({"id": 1, "groups": []})", "the template: has no \"caption\""},
        FaultyTemplate{"UnknownKind", OneRow(R"({"id": 5, "kind": "edti"})"),
                       "group 1 \"Only\", row 1, control 5: unknown kind \"edti\" (known: edit, static"},
        FaultyTemplate{"UnknownKey", OneRow(R"({"id": 5, "kind": "edit", "txet": "x"})"),
                       "control 5: unknown key \"txet\""},
        FaultyTemplate{"NoId", OneRow(R"({"kind": "edit"})"), "group 1 \"Only\", row 1, item 1: has no \"id\""},
        FaultyTemplate{"IdTooLarge", OneRow(R"({"id": 70000, "kind": "button"})"),
                       "\"id\" must be a whole number from 1 to 65535, not 70000"},
        FaultyTemplate{"DuplicateId",
                       R"({"id": 1, "caption": "C", "groups": [{"caption": "A", "rows": [[{"id": 5, "kind": "edit"}]]},
                          {"caption": "B", "rows": [[{"id": 5, "kind": "check"}]]}]})",
                       "group 2 \"B\", row 1, control 5: the id 5 is taken already (group 1 \"A\", row 1, control 5)"},
        FaultyTemplate{"UnitIsNoCombo", OneRow(R"({"id": 5, "kind": "edit", "unit": 6}, {"id": 6, "kind": "static"})"),
                       "control 5: its unit combo 6 is a static, not a combo"},
        FaultyTemplate{"UnitMissing", OneRow(R"({"id": 5, "kind": "edit", "unit": 9})"),
                       "control 5: its unit combo 9 is not in the template"},
        FaultyTemplate{"UnitOnAButton", OneRow(R"({"id": 5, "kind": "button", "unit": 9})"),
                       "control 5: \"unit\" does not apply to a button"},
        FaultyTemplate{"RadioNotMarked", OneRow(R"({"id": 5, "kind": "radio"}, {"id": 6, "kind": "radio"})"),
                       "control 5: begins a radio group but is not marked \"first\": true"},
        FaultyTemplate{"MultilineOnAStatic", OneRow(R"({"id": 5, "kind": "static", "multiline": true})"),
                       "control 5: \"multiline\" does not apply to a static"},
        FaultyTemplate{"FirstOnACheck", OneRow(R"({"id": 5, "kind": "check", "first": true})"),
                       "control 5: \"first\" does not apply to a check"},
        FaultyTemplate{"RowNotAnArray", R"({"id": 1, "caption": "C", "groups": [{"rows": [{"id": 5}]}]})",
                       "group 1, row 1: must be an array of controls"}),
    [](const ::testing::TestParamInfo<FaultyTemplate>& param) { return param.param.name; });

TEST(DialogTemplates, ARadioGroupEndsWithItsLayoutGroup) {
  const std::string json = R"({"id": 1, "caption": "C", "groups": [
      {"rows": [[{"id": 5, "kind": "radio", "first": true}]]},
      {"rows": [[{"id": 6, "kind": "radio"}]]}]})";
  EXPECT_THROW(ParseDialogTemplate(json, "radios.json"), TemplateError);
}

TEST(DialogTemplates, ListEveryFaultFound) {
  try {
    ParseDialogTemplate(OneRow(R"({"id": 5, "kind": "edit", "txet": ""}, {"id": 5, "kind": "check", "hidden": "no"})"),
                        "three.json");
    FAIL();
  } catch (const TemplateError& error) {
    EXPECT_THAT(error.what(), StartsWith("three.json: 3 faults:\n  group 1 \"Only\", row 1, control 5: unknown key"));
    EXPECT_THAT(error.what(), HasSubstr("\"hidden\" must be true or false, not \"no\""));
    EXPECT_THAT(error.what(), HasSubstr("the id 5 is taken already"));
  }
}

class TemplateFolders : public ::testing::Test {
 protected:
  TemplateFolders() : folder_(std::filesystem::temp_directory_path() / ("kestrel-ui-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    library_.AddDirectory(folder_);
  }
  ~TemplateFolders() override { std::filesystem::remove_all(folder_); }

  void Write(const std::string& name, const std::string& text) { std::ofstream(folder_ / name) << text; }

  std::filesystem::path folder_;
  TemplateLibrary library_;
};

TEST_F(TemplateFolders, FindATemplateByItsIdAndKeepIt) {
  Write("500.json", OneRow(R"({"id": 5, "kind": "edit"})"));
  const DialogTemplate& found = library_.Find(500);
  EXPECT_EQ(found.caption, "Small");
  EXPECT_EQ(found.source, (folder_ / "500.json").string());
  std::filesystem::remove(folder_ / "500.json");
  EXPECT_EQ(&library_.Find(500), &found) << "read once";
}

TEST_F(TemplateFolders, NameTheFoldersSearchedForAMissingTemplate) {
  try {
    library_.Find(404);
    FAIL();
  } catch (const TemplateError& error) {
    EXPECT_THAT(error.what(), HasSubstr("no dialog template 404 (searched: " + folder_.string() + ")"));
  }
}

TEST_F(TemplateFolders, RefuseAFileThatHoldsAnotherTemplate) {
  Write("501.json", OneRow(R"({"id": 5, "kind": "edit"})"));
  EXPECT_THROW(library_.Find(501), TemplateError);
}

TEST_F(TemplateFolders, TakeTemplatesAddedDirectly) {
  library_.Add(ParseDialogTemplate(OneRow(R"({"id": 5, "kind": "edit"})"), "compiled in"));
  EXPECT_EQ(library_.Find(500).source, "compiled in");
}

}  // namespace
}  // namespace ui
