#include "ui/message_box.h"

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

}  // namespace
}  // namespace ui
