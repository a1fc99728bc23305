#include "drivesim_link/host_clock.h"

#include <cmath>

#include "ui/event_loop.h"

namespace drivesim::link {

double DialogClock::Now_s() const {
  return static_cast<double>(ui::CurrentEventLoop().Clock().Now().count()) / 1000.0;
}

// The clock only moves: timers that fall due during the wait fire once the host dispatches
// again, as on a host whose thread is blocked in a serial round trip. The answer time is
// rounded to the microsecond first, so that 5 ms + 1 ms waits for 6 ms, not 7.
void DialogClock::WaitUntil(double time_s) {
  const double microseconds = std::round(time_s * 1e6);
  const auto milliseconds = static_cast<long long>(std::ceil(microseconds / 1000.0));
  ui::CurrentEventLoop().Clock().AdvanceTo(ui::Milliseconds(milliseconds));
}

}  // namespace drivesim::link
