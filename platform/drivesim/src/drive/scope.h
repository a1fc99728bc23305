// The drive's scope: samples drive variables every `divider` slow or fast periods and sends them
// as unsolicited frames. A frame is 16-bit words:
//   word 0   payload length in words (1 + samples · words per sample)
//   word 1   axis
//   word 2   0xE900
//   word 3   index of the frame's first sample within its window (uint16)
//   then     per sample the channels in order: int16 as one word, int32 as two (low word first)
// A frame leaves when it holds as many samples as fit in kMaxPayloadWords, or when its window
// is full. Before a trigger the scope keeps the last `pretrigger` samples; the window opens with
// them (index 0 the oldest) and goes on from the trigger sample.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

#include "drivesim/drive.h"

namespace drivesim::drive {

inline constexpr std::uint16_t kScopeFrameCode = 0xE900;
inline constexpr std::uint16_t kScopeAxis = 1;
inline constexpr int kMaxPayloadWords = 64;

class Scope {
 public:
  // Arms with checked settings; `channelWords` holds the words (1 or 2) of each channel.
  void Arm(const ScopeSettings& settings, std::vector<int> channelWords);
  void Disarm();
  bool Running() const { return running_; }
  // Called at every fast (slow = false) or slow tick; `read` gives a variable's internal value.
  void Sample(bool slow, double now_s, const std::function<std::int32_t(std::string_view)>& read,
              std::deque<UnsolicitedMessage>& out);

 private:
  using Values = std::vector<std::int32_t>;
  bool Triggered(std::int32_t value);
  void Take(const Values& values, double now_s, std::deque<UnsolicitedMessage>& out);
  void Send(double now_s, std::deque<UnsolicitedMessage>& out);
  void EndWindow();

  ScopeSettings settings_;
  std::vector<int> channelWords_;
  int wordsPerSample_ = 0;
  int samplesPerFrame_ = 1;
  bool running_ = false;
  int periodsSinceSample_ = 0;
  bool inWindow_ = false;                  // triggered (or untriggered) and filling a window
  std::deque<Values> pretrigger_;          // the last samples before the trigger
  bool hasPrevious_ = false;
  std::int32_t previous_ = 0;              // the trigger variable at the previous sample
  int taken_ = 0;                          // samples of the present window taken so far
  std::vector<std::uint16_t> pending_;     // sample words of the frame being filled
  int pendingSamples_ = 0;
  int pendingFirst_ = 0;                   // index of its first sample
};

}  // namespace drivesim::drive
