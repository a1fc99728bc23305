// Window timers: each fires every period after it was set, until killed. Among timers due at the
// same time, the one set first fires first. Timers are few (a handful per dialog), so a plain
// list searched for the earliest is the fastest structure.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/clock.h"

namespace ui {

struct Window;

struct DueTimer {
  Window* window;
  std::uintptr_t id;
};

class TimerQueue {
 public:
  // Sets (or resets) the window's timer to fire `period` after `now`, and every period after.
  void Set(Window& window, std::uintptr_t id, Milliseconds period, Milliseconds now);
  bool Kill(const Window& window, std::uintptr_t id);
  void KillAll(const Window& window);
  std::optional<Milliseconds> NextDue() const;
  // Takes the first timer due at `now` or before, and arms it for `now` plus its period.
  std::optional<DueTimer> TakeDue(Milliseconds now);

 private:
  struct Timer {
    Window* window;
    std::uintptr_t id;
    Milliseconds period;
    Milliseconds due;
    std::uint64_t order;  // when it was set, to break ties
  };

  std::vector<Timer>::iterator Earliest();

  std::vector<Timer> timers_;
  std::uint64_t setCount_ = 0;
};

}  // namespace ui
