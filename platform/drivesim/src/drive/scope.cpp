#include "drive/scope.h"

#include <algorithm>

namespace drivesim::drive {

void Scope::Arm(const ScopeSettings& settings, std::vector<int> channelWords) {
  settings_ = settings;
  channelWords_ = std::move(channelWords);
  wordsPerSample_ = 0;
  for (int words : channelWords_) wordsPerSample_ += words;
  samplesPerFrame_ = std::max(1, (kMaxPayloadWords - 1) / wordsPerSample_);
  running_ = true;
  periodsSinceSample_ = 0;
  EndWindow();
}

void Scope::Disarm() {
  running_ = false;
  EndWindow();
}

// Back to waiting for a window: nothing pending, no trigger history.
void Scope::EndWindow() {
  inWindow_ = !settings_.trigger.has_value();
  pretrigger_.clear();
  hasPrevious_ = false;
  taken_ = 0;
  pending_.clear();
  pendingSamples_ = 0;
  pendingFirst_ = 0;
}

void Scope::Sample(bool slow, double now_s, const std::function<std::int32_t(std::string_view)>& read,
                   std::deque<UnsolicitedMessage>& out) {
  if (!running_ || (settings_.type == 1) != slow) return;
  // The first sample is taken at the first period of the grid after arming; then one every
  // `divider` periods.
  if (periodsSinceSample_ > 0 && periodsSinceSample_ < settings_.divider) {
    ++periodsSinceSample_;
    return;
  }
  periodsSinceSample_ = 1;
  Values values;
  values.reserve(settings_.channels.size());
  for (const std::string& channel : settings_.channels) values.push_back(read(channel));
  if (!inWindow_) {
    if (!Triggered(read(settings_.trigger->variable))) {
      pretrigger_.push_back(std::move(values));
      if (static_cast<int>(pretrigger_.size()) > settings_.trigger->pretrigger) pretrigger_.pop_front();
      return;
    }
    inWindow_ = true;
    std::deque<Values> before = std::move(pretrigger_);
    pretrigger_.clear();
    for (const Values& earlier : before) Take(earlier, now_s, out);
  }
  Take(values, now_s, out);
}

bool Scope::Triggered(std::int32_t value) {
  const ScopeTrigger& t = *settings_.trigger;
  const bool crossed = hasPrevious_ && (t.rising ? previous_ < t.level && value >= t.level
                                                 : previous_ > t.level && value <= t.level);
  previous_ = value;
  hasPrevious_ = true;
  return crossed;
}

void Scope::Take(const Values& values, double now_s, std::deque<UnsolicitedMessage>& out) {
  if (pendingSamples_ == 0) pendingFirst_ = taken_;
  for (std::size_t c = 0; c < values.size(); ++c) {
    const auto word = static_cast<std::uint32_t>(values[c]);
    pending_.push_back(static_cast<std::uint16_t>(word & 0xFFFFu));
    if (channelWords_[c] == 2) pending_.push_back(static_cast<std::uint16_t>(word >> 16));
  }
  ++pendingSamples_;
  ++taken_;
  const bool windowFull = taken_ == settings_.window;
  if (pendingSamples_ == samplesPerFrame_ || windowFull) Send(now_s, out);
  if (!windowFull) return;
  if (settings_.single) running_ = false;
  EndWindow();
}

void Scope::Send(double now_s, std::deque<UnsolicitedMessage>& out) {
  UnsolicitedMessage frame;
  frame.time_s = now_s;
  frame.words.reserve(4 + pending_.size());
  frame.words.push_back(static_cast<std::uint16_t>(1 + pending_.size()));
  frame.words.push_back(kScopeAxis);
  frame.words.push_back(kScopeFrameCode);
  frame.words.push_back(static_cast<std::uint16_t>(pendingFirst_));
  frame.words.insert(frame.words.end(), pending_.begin(), pending_.end());
  out.push_back(std::move(frame));
  pending_.clear();
  pendingSamples_ = 0;
}

}  // namespace drivesim::drive
