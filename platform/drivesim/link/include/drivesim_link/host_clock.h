// The host's time as the drive link sees it. A transaction acts on the drive at the host's present
// time and the host waits for its answer; on the headless dialog framework's virtual clock that
// wait moves the clock forward.
#pragma once

namespace drivesim::link {

class HostClock {
 public:
  virtual ~HostClock() = default;
  virtual double Now_s() const = 0;
  // Returns when the host's time has reached `time_s` (the answer of a transaction).
  virtual void WaitUntil(double time_s) = 0;
};

// The clock of the dialog framework's event loop in use. Its virtual clock counts whole
// milliseconds, so a wait ends at the first millisecond not before the answer.
class DialogClock final : public HostClock {
 public:
  double Now_s() const override;
  void WaitUntil(double time_s) override;
};

}  // namespace drivesim::link
