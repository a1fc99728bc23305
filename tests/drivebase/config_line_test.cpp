#include "drivebase/config_line.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> ReadAll(std::string_view line) {
  std::vector<std::string> strings;
  std::string text;
  while (ReadEscapedStringFromConfigLine(line, text)) strings.push_back(text);
  return strings;
}

TEST(ConfigLine, ReadsQuotedStringsInTurn) {
  EXPECT_EQ(ReadAll(R"("Feedback #1" "1,Incremental encoder"  "3,")"),
            (std::vector<std::string>{"Feedback #1", "1,Incremental encoder", "3,"}));
}

TEST(ConfigLine, UndoesEscapes) {
  EXPECT_EQ(ReadAll(R"("a \"b\" c\\d" "tab\there" "line\nbreak" "\x")"),
            (std::vector<std::string>{"a \"b\" c\\d", "tab\there", "line\nbreak", "x"}));
}

TEST(ConfigLine, LeavesAnIncompleteStringInPlace) {
  std::string_view line = R"( "open ended)";
  std::string text = "unchanged";
  EXPECT_FALSE(ReadEscapedStringFromConfigLine(line, text));
  EXPECT_EQ(line, R"( "open ended)");
  EXPECT_EQ(text, "unchanged");
  line = R"("ends in a backslash\)";
  EXPECT_FALSE(ReadEscapedStringFromConfigLine(line, text));
  line = "no quotes";
  EXPECT_FALSE(ReadEscapedStringFromConfigLine(line, text));
  line = "";
  EXPECT_FALSE(ReadEscapedStringFromConfigLine(line, text));
}

TEST(ConfigLine, EscapingReadsBack) {
  const std::string awkward = "quote \" backslash \\ tab \t newline \n return \r end";
  std::string line = drivebase::EscapeForConfigLine(awkward) + " " + drivebase::EscapeForConfigLine("");
  EXPECT_EQ(ReadAll(line), (std::vector<std::string>{awkward, ""}));
}

}  // namespace
