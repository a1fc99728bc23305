#include "commission/road_recorder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "commissioning/save_question.h"
#include "compute/setup_access.h"
#include "drivebase/graph.h"
#include "ui/window.h"

namespace kestrel::cli {
namespace {

// A value whose change a commissioning engineer wants told in words, with what the change means.
struct WatchedValue {
  const char* name;
  const char* meaning;
};

constexpr std::array kWatched{
    WatchedValue{"ReverseCounting_MT", "the encoder counts the other way round"},
    WatchedValue{"HALLCASE", "the Hall sensors are wired in another order"},
    WatchedValue{"No_encoder_lines", "the encoder has another number of lines per revolution"},
    WatchedValue{"Resolution", "the encoder has another resolution"},
    WatchedValue{"pp", "the motor has another number of pole pairs"},
    WatchedValue{"Vdc", "the supply measures another voltage"},
    WatchedValue{"Jt", "the total inertia (motor and load) was identified"},
    WatchedValue{"Mt", "the total mass (moving part and load) was identified"},
};

std::string ValueText(const CMC_Setup& setup, const char* name, double value) {
  const CMC_Parameter* parameter = FindOptionalParameter(&setup, name);
  return parameter != nullptr ? ValueWithUnit(*parameter, value) : FormatG(value);
}

std::string TwoDigits(int number) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

// A report directory used before holds the plots of an earlier road: none of them may pass for
// this step's.
void RemoveEarlierPlots(const std::filesystem::path& directory) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::filesystem::path extension = entry.path().extension();
    if (extension == ".svg" || extension == ".csv") std::filesystem::remove(entry.path(), error);
  }
}

}  // namespace

std::string ValueWithUnit(const CMC_Parameter& parameter, double value) {
  const std::string_view unit = parameter.GetBaseUnitName();
  return FormatG(value) + (unit.empty() || unit == "-" ? "" : " " + std::string(unit));
}

RoadRecorder::RoadRecorder(CMC_Setup& setup, RoadRecord& record, RoadProgress& progress, std::string reportDirectory,
                           ui::DialogObserver* previous)
    : setup_(setup),
      record_(record),
      progress_(progress),
      reportDirectory_(std::move(reportDirectory)),
      previous_(previous) {}

void RoadRecorder::DialogOpened(CDialog& dialog) {
  if (previous_ != nullptr) previous_->DialogOpened(dialog);
}

void RoadRecorder::DialogClosed(CDialog& dialog, int endCode) {
  if (step_ != nullptr && &dialog == watched_) TestClosed(*watched_, endCode);
  if (previous_ != nullptr) previous_->DialogClosed(dialog, endCode);
}

void RoadRecorder::BeginStep(const RoadStep& step, int number, int count) {
  step_ = &step;
  current_ = StepRecord{};
  current_.step = &step;
  before_ = ValuesOf(setup_);
  watched_ = nullptr;
  endCode_.reset();
  testPassed_ = false;
  questionAnswered_ = false;
  failure_.clear();
  if (!reportDirectory_.empty()) {
    current_.plotDirectory = "plots/" + TwoDigits(number) + "-" + std::string(step.name);
    const std::filesystem::path directory = std::filesystem::path(reportDirectory_) / current_.plotDirectory;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) Note("the plots cannot be saved in " + directory.string() + ": " + error.message());
    RemoveEarlierPlots(directory);
    drivebase::SetPlotDirectory(directory.string());
  }
  progress_.StepBegan(step, number, count);
}

void RoadRecorder::LookAt(const CMC_TestDlg& test) {
  if (step_ == nullptr || &test != watched_ || test.GetSafeHwnd() == nullptr) return;
  const ui::Window* text = test.GetSafeHwnd()->FindChild(drivebase::kProgressText);
  if (text == nullptr || text->text.empty()) return;
  if (!current_.statusTexts.empty() && current_.statusTexts.back() == text->text) return;
  current_.statusTexts.push_back(text->text);
  progress_.StatusText(text->text);
}

void RoadRecorder::RunPassed(const CMC_TestDlg& test) {
  LookAt(test);
  current_.runs.push_back(test.MeasuredValues());
}

void RoadRecorder::Fail(const std::string& text) {
  if (failure_.empty()) failure_ = text;
}

void RoadRecorder::TestClosed(CMC_TestDlg& test, int endCode) {
  LookAt(test);
  endCode_ = endCode;
  testPassed_ = test.Result() == 1;
  const ui::Window* outcome = test.GetSafeHwnd() ? test.GetSafeHwnd()->FindChild(drivebase::kOutcomeText) : nullptr;
  current_.outcome = outcome != nullptr ? outcome->text : "";
  current_.results = test.ResultLines();
  if (!testPassed_) current_.errorText = test.ErrorText();
  if (testPassed_ && !reportDirectory_.empty()) SavePlots(test);
}

void RoadRecorder::SavePlots(CMC_TestDlg& test) {
  std::string error;
  if (!test.SaveAllPlots(error)) {
    Note("a plot could not be saved" + (error.empty() ? std::string() : ": " + error));
  }
  std::error_code listing;
  const std::filesystem::path directory = std::filesystem::path(reportDirectory_) / current_.plotDirectory;
  for (const auto& entry : std::filesystem::directory_iterator(directory, listing)) {
    if (entry.path().extension() == ".svg") current_.plots.push_back(entry.path().stem().string());
  }
  std::ranges::sort(current_.plots);
}

bool RoadRecorder::EndStep() {
  if (step_ == nullptr) return false;
  if (!endCode_) {
    Fail("the button " + std::to_string(step_->button) + " opened no test");
  }
  if (!testPassed_ && endCode_) {
    current_.status = StepRecord::Status::failed;
    if (current_.errorText.empty()) current_.errorText = failure_.empty() ? "the test did not pass" : failure_;
  } else if (!failure_.empty()) {
    current_.status = StepRecord::Status::failed;
    current_.errorText = failure_;
  } else if (questionAnswered_ && *endCode_ != IDOK) {
    current_.status = StepRecord::Status::notKept;
    current_.errorText = "the test did not keep its values although the question was answered Yes";
  } else {
    current_.status = StepRecord::Status::passed;
  }
  current_.changes = Changes(setup_, before_);
  if (current_.status == StepRecord::Status::passed) {
    NoteWhatChanged();
    RecordGains();
  } else {
    record_.nextCheck = std::string(step_->nextCheck);
  }
  record_.steps.push_back(current_);
  progress_.StepEnded(record_.steps.back());
  step_ = nullptr;
  watched_ = nullptr;
  return record_.steps.back().status == StepRecord::Status::passed;
}

void RoadRecorder::NoteWhatChanged() {
  const auto before = [this](const char* name) -> std::optional<double> {
    const auto it = before_.parameters.find(name);
    if (it == before_.parameters.end()) return std::nullopt;
    return it->second;
  };
  if (step_->name == "rl") {
    const auto r = before("R"), l = before("L");
    if (r && l) {
      Note("R and L identified: R " + ValueText(setup_, "R", *r) + " → " +
           ValueText(setup_, "R", setup_.GetParameterValueInBaseUnit("R")) + ", L " + ValueText(setup_, "L", *l) +
           " → " + ValueText(setup_, "L", setup_.GetParameterValueInBaseUnit("L")));
    }
  }
  for (const WatchedValue& watched : kWatched) {
    const auto old = before(watched.name);
    const CMC_Parameter* parameter = FindOptionalParameter(&setup_, watched.name);
    if (!old || parameter == nullptr || parameter->GetValueInBaseUnit() == *old) continue;
    Note(std::string(watched.meaning) + ": " + watched.name + " " + ValueText(setup_, watched.name, *old) + " → " +
         ValueText(setup_, watched.name, parameter->GetValueInBaseUnit()));
  }
}

void RoadRecorder::RecordGains() {
  for (const GainRegisters& gain : step_->gains) {
    const CMC_Parameter* scaled = FindOptionalParameter(&setup_, gain.scaled);
    const CMC_Parameter* mantissa = FindOptionalParameter(&setup_, gain.mantissa);
    const CMC_Parameter* shift = FindOptionalParameter(&setup_, gain.shift);
    if (scaled == nullptr || mantissa == nullptr || shift == nullptr) continue;
    current_.gains.push_back(TunedGain{std::string(gain.scaled), FormatG(scaled->GetValueInBaseUnit()),
                                       std::string(gain.mantissa), std::string(gain.shift),
                                       static_cast<long long>(mantissa->GetValueInInternalUnit()),
                                       static_cast<long long>(shift->GetValueInInternalUnit())});
  }
}

}  // namespace kestrel::cli
