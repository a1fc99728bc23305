// One step of the road in the commissioning report: its outcome, what the test showed and found,
// its gains, metrics, changes and plots.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "commission/road_record.h"

namespace kestrel::cli {

// The status as a CSS class: "passed", "failed", "not-kept".
std::string_view StatusClass(StepRecord::Status status);

// The step's title as the road names it ("unnamed step" for a record without its step).
std::string StepTitleOf(const StepRecord& record);

// A table of changes (name, old, new, unit), rows as given.
std::string ChangesTableHtml(const std::vector<std::vector<std::string>>& changes);

// The step's section, numbered as run and anchored for the table of contents; its plots are read
// from the report directory.
std::string StepSectionHtml(const StepRecord& record, std::size_t number, std::string_view anchor,
                            const std::filesystem::path& reportDirectory);

}  // namespace kestrel::cli
