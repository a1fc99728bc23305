#include "ui/clock.h"

#include <thread>

namespace ui {

void SteadyClock::AdvanceTo(Milliseconds time) { std::this_thread::sleep_until(At(time)); }

}  // namespace ui
