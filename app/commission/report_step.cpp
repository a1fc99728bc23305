#include "commission/report_step.h"

#include <vector>

#include "commission/report_html.h"
#include "commission/report_plot.h"
#include "commission/report_results.h"

namespace kestrel::cli {
namespace {

// The texts the test showed, a text repeated in a row shown once with its count.
std::string StatusTextsHtml(const std::vector<std::string>& texts) {
  if (texts.empty()) return {};
  std::string html = "<ol class=\"status-texts\">";
  for (std::size_t k = 0; k < texts.size();) {
    std::size_t repeats = 1;
    while (k + repeats < texts.size() && texts[k + repeats] == texts[k]) ++repeats;
    html += "<li>" + drivebase::EscapeMarkup(texts[k]) + (repeats > 1 ? " (×" + std::to_string(repeats) + ")" : "") + "</li>";
    k += repeats;
  }
  return html + "</ol>\n";
}

std::string GainsHtml(const std::vector<TunedGain>& gains) {
  if (gains.empty()) return {};
  std::vector<std::vector<std::string>> rows;
  for (const TunedGain& gain : gains) {
    rows.push_back({gain.scaled, gain.scaledValue, gain.mantissa, std::to_string(gain.mantissaValue), gain.shift,
                    std::to_string(gain.shiftValue)});
  }
  return "<h3>Tuned gains</h3>\n" +
         HtmlTable({"Gain", "Scaled value", "Mantissa register", "Mantissa", "Shift register", "Shift"}, rows, "gains");
}

std::string MetricsHtml(const std::vector<MetricPair>& metrics) {
  if (metrics.empty()) return {};
  std::vector<std::vector<std::string>> rows;
  for (const MetricPair& pair : metrics) rows.push_back({pair.metric, pair.measured, pair.predicted});
  return "<h3>Step response</h3>\n" + HtmlTable({"Metric", "Measured", "Predicted"}, rows, "metrics");
}

// The result lines, the repeated runs' table, the tuned gains and the metrics.
std::string ResultsHtml(const StepRecord& record) {
  const ArrangedResults arranged = ArrangeResults(record.results, record.gains);
  std::string html;
  if (!arranged.lines.empty()) {
    html += "<dl class=\"results\">\n";
    for (const CMC_TestDlg::TestResultLine& line : arranged.lines)
      html += "<dt>" + drivebase::EscapeMarkup(line.label) + "</dt><dd>" + drivebase::EscapeMarkup(line.value) + "</dd>\n";
    html += "</dl>\n";
  }
  if (record.runs.size() >= 2) {
    html += "<h3>Repeated runs</h3>\n" +
            HtmlTable(RunsTableHeader(record.runs.size()), RunsTableRows(record.runs), "runs");
  }
  return html + GainsHtml(record.gains) + MetricsHtml(arranged.metrics);
}

std::string PlotsHtml(const StepRecord& record, std::size_t number, const std::filesystem::path& reportDirectory) {
  if (record.plots.empty()) return {};
  if (record.plotDirectory.empty())
    return "<p class=\"problem\">The step names plots but no folder that holds them.</p>\n";
  std::string html = "<h3>Plots</h3>\n";
  for (std::size_t k = 0; k < record.plots.size(); ++k) {
    const std::string idPrefix = "s" + std::to_string(number) + "p" + std::to_string(k + 1) + "-";
    html += PlotFigureHtml(reportDirectory, record.plotDirectory, record.plots[k], idPrefix);
  }
  return html;
}

}  // namespace

std::string_view StatusClass(StepRecord::Status status) {
  return status == StepRecord::Status::notKept ? "not-kept" : StatusName(status);
}

std::string StepTitleOf(const StepRecord& record) {
  return record.step != nullptr ? std::string(record.step->title) : "unnamed step";
}

std::string ChangesTableHtml(const std::vector<std::vector<std::string>>& changes) {
  return HtmlTable({"Name", "Old", "New", "Unit"}, changes, "changes");
}

std::string StepSectionHtml(const StepRecord& record, std::size_t number, std::string_view anchor,
                            const std::filesystem::path& reportDirectory) {
  const std::string status(StatusClass(record.status));
  std::string html = "<section class=\"step\" id=\"" + drivebase::EscapeMarkup(anchor) + "\">\n<h2>" +
                     std::to_string(number) + ". " + drivebase::EscapeMarkup(StepTitleOf(record)) + " <span class=\"status " +
                     status + "\">" + std::string(StatusName(record.status)) + "</span></h2>\n";
  if (record.step != nullptr) {
    html += "<p class=\"meta\">Step and test \"" + drivebase::EscapeMarkup(record.step->name) + "\"</p>\n";
  }
  if (!record.outcome.empty()) html += "<p class=\"outcome\">" + drivebase::EscapeMarkup(record.outcome) + "</p>\n";
  html += StatusTextsHtml(record.statusTexts);
  for (const std::string& note : record.notes) html += "<p class=\"note\">" + drivebase::EscapeMarkup(note) + "</p>\n";
  // The parser drops the first newline after <pre>: this one, not one of the text's.
  if (!record.errorText.empty()) html += "<pre class=\"error\">\n" + drivebase::EscapeMarkup(record.errorText) + "</pre>\n";
  html += ResultsHtml(record);
  if (!record.changes.empty()) html += "<h3>Changes</h3>\n" + ChangesTableHtml(record.changes);
  html += PlotsHtml(record, number, reportDirectory);
  return html + "</section>\n";
}

}  // namespace kestrel::cli
