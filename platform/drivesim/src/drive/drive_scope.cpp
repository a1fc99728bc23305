// Drive's scope members: the settings checked against the drive's variables, arming and state.
#include "drive/drive_impl.h"

namespace drivesim {

Status Drive::CheckScopeSettings(const ScopeSettings& s) const {
  // Program variables come and go with launches: the scope samples drive variables only.
  const auto driveVariableWords = [this](const std::string& name) {
    return impl_->ProgramVariableOf(name) != nullptr ? 0 : WordsOf(name);
  };
  if (s.channels.empty()) return {"the scope needs at least one channel"};
  int words = 0;
  for (const std::string& channel : s.channels) {
    const int size = driveVariableWords(channel);
    if (size == 0) return {"the drive has no variable " + channel + " for the scope"};
    words += size;
  }
  if (1 + words > drive::kMaxPayloadWords) {
    return {"the scope channels need " + std::to_string(words) + " words per sample, more than a frame holds (" +
            std::to_string(drive::kMaxPayloadWords - 1) + ")"};
  }
  if (s.type != 1 && s.type != 2) {
    return {"scope sampling type " + std::to_string(s.type) + " is neither 1 (slow) nor 2 (fast)"};
  }
  if (s.divider < 1) return {"scope divider " + std::to_string(s.divider) + " must be at least 1"};
  if (s.window < 1 || s.window > 65535) {
    return {"scope window of " + std::to_string(s.window) + " samples is outside 1 … 65535"};
  }
  if (!s.trigger) return {};
  if (driveVariableWords(s.trigger->variable) == 0) {
    return {"the drive has no variable " + s.trigger->variable + " to trigger the scope"};
  }
  if (s.trigger->pretrigger < 0 || s.trigger->pretrigger >= s.window) {
    return {"scope pre-trigger of " + std::to_string(s.trigger->pretrigger) + " samples is outside 0 … " +
            std::to_string(s.window - 1)};
  }
  return {};
}

Status Drive::ArmScope(const ScopeSettings& settings) {
  if (Status checked = CheckScopeSettings(settings); !checked.ok()) return checked;
  std::vector<int> words;
  for (const std::string& channel : settings.channels) words.push_back(WordsOf(channel));
  impl_->scope.Arm(settings, std::move(words));
  return {};
}

void Drive::DisarmScope() { impl_->scope.Disarm(); }
bool Drive::ScopeRunning() const { return impl_->scope.Running(); }

}  // namespace drivesim
