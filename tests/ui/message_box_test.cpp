#include "ui/message_box.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ui {
namespace {

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override { DefaultMessageBoxes().Clear(); }
  void TearDown() override { DefaultMessageBoxes().Clear(); }
  HeadlessMessageBoxes& boxes = DefaultMessageBoxes();
};

TEST_F(MessageBoxes, RecordsTextCaptionStyleAndAnswer) {
  EXPECT_EQ(AfxMessageBox("Error: something.", MB_ICONERROR), IDOK);
  boxes.PrepareAnswer(IDNO);
  EXPECT_EQ(ShowMessageBox("Save?", "Drive Setup", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[0].text, "Error: something.");
  EXPECT_EQ(boxes.Shown()[0].caption, "Kestrel");
  EXPECT_EQ(boxes.Shown()[0].style, MB_ICONERROR);
  EXPECT_EQ(boxes.Shown()[0].answer, IDOK);
  EXPECT_EQ(boxes.Shown()[1].caption, "Drive Setup");
  EXPECT_EQ(boxes.Shown()[1].style, 0x23u);
  EXPECT_EQ(boxes.Shown()[1].answer, IDNO);
}

TEST_F(MessageBoxes, AnswersComeInTheOrderPrepared) {
  boxes.PrepareAnswer(IDYES);
  boxes.PrepareAnswer(IDCANCEL);
  EXPECT_EQ(AfxMessageBox("first", MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(AfxMessageBox("second", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
}

TEST_F(MessageBoxes, AQuestionWithoutAPreparedAnswerIsAnErrorNamingIt) {
  try {
    AfxMessageBox("Do you want to save the new value(s)?", MB_YESNOCANCEL | MB_ICONQUESTION);
    FAIL();
  } catch (const UnansweredMessageBox& error) {
    EXPECT_THAT(error.what(), ::testing::HasSubstr("\"Do you want to save the new value(s)?\""));
  }
  EXPECT_EQ(boxes.Shown().size(), 1u) << "the box was shown";
}

TEST_F(MessageBoxes, AnotherPresenterTakesOver) {
  struct Always : MessageBoxPresenter {
    int Show(const std::string&, const std::string&, unsigned) override { return IDRETRY; }
  } always;
  SetMessageBoxPresenter(&always);
  EXPECT_EQ(AfxMessageBox("x", MB_RETRYCANCEL), IDRETRY);
  SetMessageBoxPresenter(nullptr);
  EXPECT_EQ(AfxMessageBox("y"), IDOK);
  EXPECT_EQ(boxes.Shown().size(), 1u);
}

TEST_F(MessageBoxes, TheAnswererAnswersWhatWasNotPrepared) {
  struct Answerer : MessageBoxAnswerer {
    std::optional<int> AnswerMessageBox(const MessageBoxRecord& box) override {
      seen.push_back(box.text);
      return box.text == "Retry?" ? std::optional<int>(IDRETRY) : std::nullopt;
    }
    std::vector<std::string> seen;
  } answerer;
  boxes.SetAnswerer(&answerer);
  boxes.PrepareAnswer(IDCANCEL);
  EXPECT_EQ(AfxMessageBox("Retry?", MB_RETRYCANCEL), IDCANCEL) << "prepared answers come first";
  EXPECT_EQ(AfxMessageBox("Retry?", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(AfxMessageBox("Done."), IDOK) << "no answer: an OK-only box is answered OK";
  EXPECT_THROW(AfxMessageBox("Really?", MB_YESNO), UnansweredMessageBox);
  EXPECT_EQ(answerer.seen, (std::vector<std::string>{"Retry?", "Done.", "Really?"}));
  boxes.SetAnswerer(nullptr);
}

struct StyleButtons {
  unsigned style;
  std::vector<int> answers;
};

class ButtonsOfEachStyle : public ::testing::TestWithParam<StyleButtons> {};

TEST_P(ButtonsOfEachStyle, OfferExactlyTheirAnswers) {
  for (const int answer : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDHELP}) {
    const bool offered = std::find(GetParam().answers.begin(), GetParam().answers.end(), answer) !=
                         GetParam().answers.end();
    EXPECT_EQ(OffersAnswer(GetParam().style | MB_ICONWARNING, answer), offered) << AnswerName(answer);
  }
}

INSTANTIATE_TEST_SUITE_P(MessageBoxes, ButtonsOfEachStyle,
                         ::testing::Values(StyleButtons{MB_OK, {IDOK}}, StyleButtons{MB_OKCANCEL, {IDOK, IDCANCEL}},
                                           StyleButtons{MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
                                           StyleButtons{MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
                                           StyleButtons{MB_YESNO, {IDYES, IDNO}},
                                           StyleButtons{MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
                                           StyleButtons{MB_OK | MB_HELP, {IDOK, IDHELP}}));

TEST(AnswerNames, ReadInAnyCaseAndWriteAsTheButtonsRead) {
  EXPECT_EQ(AnswerNamed("yes"), IDYES);
  EXPECT_EQ(AnswerNamed("CANCEL"), IDCANCEL);
  EXPECT_EQ(AnswerNamed("maybe"), std::nullopt);
  EXPECT_EQ(AnswerName(IDIGNORE), "Ignore");
  EXPECT_EQ(AnswerName(99), "");
}

}  // namespace
}  // namespace ui
