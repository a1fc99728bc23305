// The standard encoder resolutions and the Hall diagram's slices.
#include <gtest/gtest.h>

#include "drivebase/diagrams.h"

namespace {

struct Nearest {
  long measured;
  long standard;
};

class FindBestResolutionTest : public ::testing::TestWithParam<Nearest> {};

TEST_P(FindBestResolutionTest, GivesTheNearestStandardLineCountWithTheMeasuredSign) {
  EXPECT_EQ(CResolution::FindBestResolution(GetParam().measured), GetParam().standard);
  EXPECT_EQ(CResolution::FindBestResolution(-GetParam().measured), -GetParam().standard);
}

INSTANTIATE_TEST_SUITE_P(
    MeasuredLines, FindBestResolutionTest,
    ::testing::Values(Nearest{1000, 1000}, Nearest{999, 1000}, Nearest{1011, 1000}, Nearest{1013, 1024},
                      Nearest{253, 250},  // halfway between 250 and 256: the smaller
                      Nearest{2047, 2048}, Nearest{1, 100}, Nearest{50000, 10000}, Nearest{6500, 5000},
                      Nearest{6700, 8192}));

TEST(CResolutionTest, ListsTheLineCountsFromSmallestToLargest) {
  EXPECT_EQ(CResolution::GetResolution(0), 100);
  EXPECT_EQ(CResolution::GetResolution(CResolution::Count() - 1), 10000);
  EXPECT_EQ(CResolution::GetResolution(CResolution::Count()), 0);
  for (int i = 1; i < CResolution::Count(); ++i) EXPECT_LT(CResolution::GetResolution(i - 1), CResolution::GetResolution(i));
}

TEST(CHallDiagramTest, IgnoresSlicesOutsideTheTurnAndResetsAll) {
  CHallDiagram diagram;
  diagram.SetStatus(5, CHallDiagram::kCurrent);
  diagram.SetStatus(6, CHallDiagram::kCurrent);
  diagram.SetStatus(-1, CHallDiagram::kVisited);
  for (int slice = 0; slice < 5; ++slice) EXPECT_EQ(diagram.Status(slice), CHallDiagram::kNotSeen);
  EXPECT_EQ(diagram.Status(5), CHallDiagram::kCurrent);
  diagram.Reset();
  EXPECT_EQ(diagram.Status(5), CHallDiagram::kNotSeen);
}

}  // namespace
