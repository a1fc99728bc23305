#include "ui/timer_queue.h"

#include <algorithm>

namespace ui {

void TimerQueue::Set(Window& window, std::uintptr_t id, Milliseconds period, Milliseconds now) {
  Kill(window, id);
  timers_.push_back({&window, id, period, now + period, setCount_++});
}

bool TimerQueue::Kill(const Window& window, std::uintptr_t id) {
  const auto found = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == &window && timer.id == id;
  });
  if (found == timers_.end()) return false;
  timers_.erase(found);
  return true;
}

void TimerQueue::KillAll(const Window& window) {
  std::erase_if(timers_, [&](const Timer& timer) { return timer.window == &window; });
}

std::optional<Milliseconds> TimerQueue::NextDue() const {
  if (timers_.empty()) return std::nullopt;
  return std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
           return a.due < b.due;
         })->due;
}

std::optional<DueTimer> TimerQueue::TakeDue(Milliseconds now) {
  const auto earliest = Earliest();
  if (earliest == timers_.end() || earliest->due > now) return std::nullopt;
  earliest->due = now + earliest->period;
  return DueTimer{earliest->window, earliest->id};
}

std::vector<TimerQueue::Timer>::iterator TimerQueue::Earliest() {
  return std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
  });
}

}  // namespace ui
