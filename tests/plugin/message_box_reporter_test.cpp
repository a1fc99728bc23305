// The plug-in's reporter: a computation's error becomes the framework's error box, at the moment
// the computation reports it.
#include <gtest/gtest.h>

#include "compute/biquad_designer.h"
#include "dialogs/message_box_reporter.h"
#include "ui/message_box.h"

namespace kestrel {
namespace {

TEST(MessageBoxReporter, ShowsTheErrorBox) {
  ui::HeadlessMessageBoxes boxes;
  ui::SetMessageBoxPresenter(&boxes);
  MessageBoxReporter().ReportError(kFiltersDisabledMessage);
  ui::SetMessageBoxPresenter(nullptr);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown().front().text, kFiltersDisabledMessage);
  EXPECT_EQ(boxes.Shown().front().style, static_cast<unsigned>(MB_ICONERROR));
}

}  // namespace
}  // namespace kestrel
