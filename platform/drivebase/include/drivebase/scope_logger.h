// The live plots of the tuning tests.
//
// CMC_ScopeLogger: the drive's oscilloscope. Launched with a program (ExecuteCode arms the scope
// with its channels, window and trigger), the drive sends each captured window as unsolicited
// frames (code 0xE900) while the program runs; the test's message handler hands each frame's
// payload to OnFrameReceive, which writes the samples into the rows of the graph document at
// their index in the window (the rows are the window: GetPointsNo() of them once armed). Every
// channel is drawn on its own scale: a value v shows at (v − offset) / scale divisions, in the
// unit named for it.
//
//   scope.ChangeSettings(0.5, 4, 1, "Speed_Reference", 950.0, 20);  // 0.5 s, single, rising
//   scope.AddVariable("Speed_Reference", 1); ... scope.LocateItems();
//   test.ExecuteCode(program, &image, &scope, nullptr, nullptr);   // arms the scope
//   ... frames arrive: scope.OnFrameReceive(payload, bytes) → points to draw ...
//   while (!scope.DoGracefulStop()) ...;  scope.EndUploadData();
//
// CMC_Oscilloscope: the live plot of drives without the oscilloscope function: the test reads
// the values itself and appends them as the newest point of a rolling window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "drivebase/graph.h"
#include "drivebase/logger.h"

namespace drivebase {

// Trigger modes of CMC_ScopeLogger::ChangeSettings.
inline constexpr int kScopeFreeRunning = 0;  // windows follow one another, untriggered
inline constexpr int kScopeNormal = 2;       // a window at every trigger, until stopped
inline constexpr int kScopeSingle = 4;       // one window at the first trigger, then stopped
// Trigger slopes.
inline constexpr int kScopeFalling = 0;
inline constexpr int kScopeRising = 1;

// How one channel is drawn: (value − offset) / scale divisions, with the value in `unit`.
struct ScopeChannelScale {
  std::string unit;
  double scale = 1.0;   // display units per division, > 0
  double offset = 0.0;  // display units at the centre line
};

// The smallest scale of the series 1, 2, 5 × 10^k at or above `at_least`, as the double nearest
// to it; 1 when `at_least` is not above 0 (or is not a number).
double RoundStepAtLeast(double at_least);

}  // namespace drivebase

class CMC_ScopeLogger : public CMC_Logger {
 public:
  CMC_ScopeLogger(CMC_Setup* setup, CMC_CoffFormat* image);
  ~CMC_ScopeLogger() override;

  // window_s: length of a captured window in seconds (the sampling period follows from it and
  // the drive's scope memory); triggerMode: drivebase::kScopeFreeRunning, kScopeNormal or
  // kScopeSingle; triggerSlope: kScopeRising or kScopeFalling; triggerVariable: a variable added
  // (empty: untriggered); level: in that variable's display unit (flag 1) or internal units
  // (flag 0); pretrigger_percent: the share of the window before the trigger (0 … 100). False,
  // changing nothing, for a window that is not positive, an unknown mode, or a share above 100.
  bool ChangeSettings(double window_s, int triggerMode, int triggerSlope, const std::string& triggerVariable,
                      double level, std::uint16_t pretrigger_percent);
  // Removes the channels and their scales (the settings stay), as before restoring defaults.
  void Reset();

  // The settings and channel scales as text in a setup option, and back. Load is false, changing
  // nothing, when the option is unset, empty or not a valid settings text.
  bool LoadSettingsFromSetupOption(const std::string& option);
  void SaveSettingsToSetupOption(const std::string& option) const;

  // Sets how a channel is drawn; false for a variable not added or a scale that is not positive.
  bool RescaleVariable(const std::string& variable, const std::string& unit, double scale, double offset);
  // Channel `channel` (0-based, in the order added) gets `scale` display units per division.
  bool ChangeChannelScale(int channel, double scale);
  const drivebase::ScopeChannelScale& ChannelScale(int channel) const;
  // Fits each channel's scale and offset to the points of the window (round steps 1, 2, 5).
  void Autoscale();
  // The settings dialog: window, trigger and each channel's scale; IDOK when the user changed
  // them, else IDCANCEL.
  int Edit(CWnd* parent);

  // True once the drive's scope has stopped (a single window is full) or, in normal or
  // free-running mode, once it has been told to stop (EndUploadData) and did; the frames still
  // waiting on the link then go to the registered handler first. False while it runs.
  bool DoGracefulStop();
  // Takes one frame's payload (the bytes after the message header: the window index of its first
  // sample, then the samples' channels). Returns how many points it wrote (0 for a frame that is
  // shorter than its samples need or that belongs to no window); those are then the points
  // GetPointsToBeDrawn names.
  int OnFrameReceive(const std::uint8_t* payload, int bytes);
  // The window rows that the last frame wrote: the first one's index and how many.
  std::size_t FirstPointToBeDrawn() const { return firstToDraw_; }
  int GetPointsToBeDrawn() const { return pointsToDraw_; }

  drivebase::LoggerSettings LaunchSettings() const override;
  // Arms the drive's scope with the channels, window and trigger (the level converted to
  // internal units); the window's points, zero until their samples arrive, become the upload in
  // progress. False when the setup cannot give the sampling period or the drive refuses.
  bool StartCapture(std::optional<drivebase::LoggerSettings>& launchWith) override;
  void AbandonCapture() override;
  // Stops the drive's scope and ends the upload; a scope that cannot be stopped (the link
  // fails) leaves the upload in progress.
  void EndUploadData() override;

  // The settings as ChangeSettings took them.
  double WindowSeconds() const { return window_s_; }
  int TriggerMode() const { return triggerMode_; }
  int TriggerSlope() const { return triggerSlope_; }
  const std::string& TriggerVariable() const { return triggerVariable_; }
  double TriggerLevel() const { return level_; }
  std::uint16_t PretriggerPercent() const { return pretrigger_percent_; }
  // The name of channel `channel` (0-based), "" for none.
  std::string ChannelName(int channel) const;

 protected:
  bool ApplySettings(const drivebase::LoggerSettings& settings) override;

 private:
  // How one channel travels in a frame.
  struct ChannelLayout {
    int words = 1;
    bool isSigned = true;
  };
  // The capture in progress: its layout and timing.
  struct Capture {
    std::vector<ChannelLayout> channels;
    int wordsPerSample = 0;
    int windowSamples = 0;
    int pretriggerSamples = 0;
    int divider = 1;
    double samplePeriod_s = 0.0;
  };
  // The capture the settings give; false with CMC_Comm's error text when they cannot.
  bool PlanCapture(Capture& capture, drivebase::ScopeSettings& settings) const;
  bool TriggerLevelInternal(double& internal) const;
  // The scale of an added channel, the channels without one given the default first.
  drivebase::ScopeChannelScale& ScaleOf(std::size_t channel);

  double window_s_ = 1.0;
  int triggerMode_ = drivebase::kScopeSingle;
  int triggerSlope_ = drivebase::kScopeRising;
  std::string triggerVariable_;
  double level_ = 0.0;
  std::uint16_t pretrigger_percent_ = 0;
  std::vector<drivebase::ScopeChannelScale> scales_;  // by channel; missing ones are the default
  Capture capture_;
  std::size_t firstToDraw_ = 0;
  int pointsToDraw_ = 0;
};

// Asks for the file of a saved live plot: save 1 to save, 0 to load; `name` the plot's name
// (the default file is PlotDirectory()/name.scope.json). The chosen path, or "" when cancelled.
std::string DoPromptScopeLoggerFileName(int save, const std::string& name, CWnd* parent);

class CMC_Oscilloscope {
 public:
  CMC_Oscilloscope();
  // A window of `points` points with `channels` channels (at least 1); the title names the plot.
  // flag 0: a rolling window, the oldest point leaves when a new one comes to a full window;
  // flag 1: a sweep, a full window is cleared and filled again. Clears the points.
  void Init(const std::string& title, int channels, int flag, std::size_t points = 500);
  // The Y range in which a channel is drawn (internal units).
  void SetChannelRange(int channel, double minimum, double maximum);
  // Appends the newest point (one value per channel, internal units); the oldest leaves the
  // window once it is full.
  void AddLastPoint(std::span<const double> values);
  const CGraphFilter& Filter() const;
  const CGraphDocument& Document() const { return document_; }
  // The range set for a channel; {0, 0} before any.
  std::pair<double, double> ChannelRange(int channel) const;
  // The view a graph window shows: the window's points on X (the point's number since Init),
  // channel 0's range on the left Y axis and channel 1's (else channel 0's) on the right.
  drivebase::GraphView View() const;
  const std::string& Title() const { return title_; }

 private:
  std::string title_;
  bool sweep_ = false;
  std::size_t capacity_ = 0;
  std::size_t channels_ = 0;
  std::deque<std::vector<double>> rows_;  // the window's rows: the point's number, then the values
  std::uint64_t added_ = 0;  // points added since Init: the X value of the next one
  std::vector<std::pair<double, double>> ranges_;
  CGraphDocument document_;
};
