#include "commission/road_report.h"

#include <filesystem>
#include <set>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "commission/report_html.h"
#include "commission/report_step.h"
#include "drivebase/atomic_file.h"

namespace kestrel::cli {
namespace {

// Inline, so that the page stands alone; plain enough to print on white paper.
constexpr const char* kStyle = R"(
body{font-family:sans-serif;color:#111;max-width:62em;margin:1em auto;padding:0 1em;line-height:1.4}
h1{font-size:1.6em;margin-bottom:.2em}
h2{font-size:1.25em;border-bottom:1px solid #bbb;padding-bottom:.15em;margin-top:1.6em}
h3{font-size:1em;margin:1em 0 .3em}
table{border-collapse:collapse;margin:.3em 0 .8em}
th,td{border:1px solid #bbb;padding:.15em .5em;text-align:left;vertical-align:top}
th{background:#eee}
dl.results{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:.4em 0}
dl.results dt{font-weight:bold}dl.results dd{margin:0}
.status{font-size:.8em;padding:.05em .4em;border:1px solid currentColor;border-radius:.3em;vertical-align:middle}
.passed{color:#116622}.failed{color:#a40000}.not-kept{color:#8a5a00}.problem{color:#a40000}
.summary{border:1px solid #bbb;background:#f6f6f6;padding:.5em 1em}
.note{background:#fff3c4;border-left:4px solid #d9a600;padding:.3em .6em;margin:.4em 0}
.meta,.outcome{margin:.2em 0;color:#444}
pre{white-space:pre-wrap;tab-size:8;font-family:monospace;margin:.3em 0}
.error-text{white-space:pre-wrap;tab-size:8}
pre.error{background:#fdeaea;border-left:4px solid #a40000;padding:.4em .6em}
ol.status-texts{list-style:none;padding:0;margin:.2em 0;color:#444;font-size:.9em}
ol.status-texts li{display:inline}ol.status-texts li+li::before{content:" \2192  "}
figure.plot{margin:.6em 0;break-inside:avoid}figure.plot figcaption{font-size:.9em;margin-bottom:.2em}
figure.plot svg{display:block;max-width:100%;height:auto}
@media print{body{max-width:none;margin:0}a{color:inherit;text-decoration:none}h2,h3{break-after:avoid}
tr{break-inside:avoid}}
)";

// The anchors of the steps' sections: "step-NAME", numbered on when a name comes again.
std::vector<std::string> StepAnchors(const RoadRecord& record) {
  std::vector<std::string> anchors;
  std::set<std::string> used;
  for (std::size_t k = 0; k < record.steps.size(); ++k) {
    const RoadStep* step = record.steps[k].step;
    const std::string base = "step-" + (step != nullptr ? AnchorOf(step->name) : std::to_string(k + 1));
    std::string anchor = base;
    for (int again = 2; used.contains(anchor); ++again) anchor = base + "-" + std::to_string(again);
    used.insert(anchor);
    anchors.push_back(anchor);
  }
  return anchors;
}

std::string LabelledTable(const std::vector<LabelledValue>& values) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& [label, value] : values) rows.push_back({label, value});
  return HtmlTable({}, rows, "labelled");
}

// Where the road ended: completed, or the step it stopped at (the last one run, when it did not
// pass) with its error and what to check next; and where the setup went.
std::string SummaryHtml(const RoadRecord& record) {
  std::string html = "<div class=\"summary\">\n";
  const bool stopped = !record.completed && !record.steps.empty() &&
                       record.steps.back().status != StepRecord::Status::passed;
  if (record.completed) {
    html += "<p class=\"passed\">Commissioning completed: every step passed.</p>\n";
  } else if (!stopped) {
    html += "<p class=\"failed\">Commissioning not completed.</p>\n";
  } else {
    const StepRecord& last = record.steps.back();
    html += "<p class=\"failed\">Stopped at step " + std::to_string(record.steps.size()) + " (" +
            drivebase::EscapeMarkup(StepTitleOf(last)) + ")";
    if (!last.errorText.empty()) html += ": <span class=\"error-text\">" + drivebase::EscapeMarkup(last.errorText) + "</span>";
    html += "</p>\n";
  }
  if (!record.completed && !record.nextCheck.empty())
    html += "<p>What to check next: <span class=\"error-text\">" + drivebase::EscapeMarkup(record.nextCheck) + "</span></p>\n";
  html += record.writtenTo.empty() ? "<p>The setup was not written.</p>\n"
                                   : "<p>The setup was written to " + drivebase::EscapeMarkup(record.writtenTo) + ".</p>\n";
  return html + "</div>\n";
}

std::string ContentsHtml(const RoadRecord& record, const std::vector<std::string>& anchors) {
  std::string html = "<nav>\n<h2>Steps</h2>\n<ol class=\"contents\">\n";
  for (std::size_t k = 0; k < record.steps.size(); ++k) {
    const StepRecord& step = record.steps[k];
    html += "<li><a href=\"#" + drivebase::EscapeMarkup(anchors[k]) + "\">" + drivebase::EscapeMarkup(StepTitleOf(step)) +
            "</a> <span class=\"" + std::string(StatusClass(step.status)) + "\">" +
            std::string(StatusName(step.status)) + "</span></li>\n";
  }
  html += "</ol>\n";
  if (!record.skipped.empty()) {
    html += "<p>Not run, as they do not fit the setup:</p>\n<ul class=\"skipped\">\n";
    for (const std::string& skipped : record.skipped) html += "<li>" + drivebase::EscapeMarkup(skipped) + "</li>\n";
    html += "</ul>\n";
  }
  return html + "</nav>\n";
}

}  // namespace

std::string RoadReportHtml(const RoadRecord& record, const std::string& directory) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Commissioning report: " +
      drivebase::EscapeMarkup(record.setupName) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  html += "<h1>Commissioning report</h1>\n<p class=\"meta\">Setup: " + drivebase::EscapeMarkup(record.setupName) +
          "<br>Drive: " + drivebase::EscapeMarkup(record.driveName) + "</p>\n";
  html += SummaryHtml(record);
  const std::vector<std::string> anchors = StepAnchors(record);
  html += ContentsHtml(record, anchors);
  html += "<h2>Motor</h2>\n" + LabelledTable(record.motor) + "<h2>Drive</h2>\n" + LabelledTable(record.drive);
  for (std::size_t k = 0; k < record.steps.size(); ++k)
    html += StepSectionHtml(record.steps[k], k + 1, anchors[k], directory);
  html += "<h2>Changes</h2>\n";
  html += record.changes.empty() ? "<p>The commissioning changed nothing in the setup.</p>\n"
                                 : "<p>Every parameter and register the commissioning changed, old and new.</p>\n" +
                                       ChangesTableHtml(record.changes);
  return html + "</body>\n</html>\n";
}

void WriteRoadReport(const RoadRecord& record, const std::string& directory) {
  if (directory.empty()) throw std::runtime_error("cannot write the commissioning report: no folder given for it");
  const std::filesystem::path page = std::filesystem::path(directory) / "index.html";
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    throw std::runtime_error("cannot write the commissioning report '" + page.string() +
                             "': cannot create the folder '" + directory + "': " + error.message());
  }
  drivebase::WriteFileAtomically(page, RoadReportHtml(record, directory));
}

}  // namespace kestrel::cli
