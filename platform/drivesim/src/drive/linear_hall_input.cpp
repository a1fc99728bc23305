// The linear Hall motor sensor's counter: the drive unwraps the calibrated angle of its three
// ADC channels (the commutation's atan2, before ZAOFF) at every sample of the channels, with
// 2^(16 − DBTTH) counts per electrical period. The first sample only takes the angle, so the
// counter starts where it stands.
#include "drive/drive_impl.h"

namespace drivesim {

void Drive::Impl::UpdateLinearHallCounter() {
  const auto input = static_cast<std::size_t>(options.motor_sensor_connector);
  const std::int32_t angle16 = control::LinearHallAngle16(linearHallCounts, angleRegisters.linearHalls);
  LinearHallTrack& t = linearHallTrack;
  if (!t.started) {
    t = {true, angle16, angle16};
    return;
  }
  const std::int64_t before = t.unwrapped16 >> decode[input].dbtth;
  t.unwrapped16 += control::WrapAngle16(angle16 - t.last16);
  t.last16 = angle16;
  feedback[input].encoder.counter += static_cast<std::uint32_t>((t.unwrapped16 >> decode[input].dbtth) - before);
}

}  // namespace drivesim
