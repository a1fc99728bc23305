// The commissioning report: DIR/index.html, one self-contained page that opens in any browser:
// the motor and drive, each step with its outcome and results (identified values with their
// spread where the step ran its test more than once, tuned gains as scaled values and register
// pairs, step metrics measured and predicted, what it found and corrected), every plot inline as
// SVG with its CSV beside it, and a table of every parameter and register the road changed, old
// and new. A road that stopped says where and what to check next.
#pragma once

#include <string>

#include "commission/road_record.h"

namespace kestrel::cli {

// Writes DIR/index.html atomically (the plots are already in DIR, where RunRoad saved them);
// creates DIR when it is missing. std::runtime_error naming the file and the cause when it cannot.
void WriteRoadReport(const RoadRecord& record, const std::string& directory);

// The page itself (what WriteRoadReport writes), for tests.
std::string RoadReportHtml(const RoadRecord& record, const std::string& directory);

}  // namespace kestrel::cli
