#include "model/hand.h"

#include <algorithm>
#include <cmath>

namespace drivesim::model {

void Hand::Turn(double from, double by, double now_s, double duration, double inertia) {
  engaged = true;
  if (!dampingSet) damping = 2.0 * std::sqrt(stiffness * inertia);
  start = from;
  delta = by;
  startTime_s = now_s;
  duration_s = std::max(duration, 0.0);
}

void Hand::SetCoupling(double k, double b) {
  stiffness = k;
  damping = b;
  dampingSet = true;
}

void Hand::Hold(double at, double now_s, double inertia) { Turn(at, 0.0, now_s, 0.0, inertia); }

ExternalTorque Hand::Engaged(double now_s) const {
  ExternalTorque t;
  t.engaged = true;
  t.stiffness = stiffness;
  t.damping = damping;
  const double s = duration_s > 0.0 ? std::clamp((now_s - startTime_s) / duration_s, 0.0, 1.0) : 1.0;
  t.targetPosition = start + delta * (10.0 * s * s * s - 15.0 * s * s * s * s + 6.0 * s * s * s * s * s);
  const double ds = 30.0 * s * s - 60.0 * s * s * s + 30.0 * s * s * s * s;
  t.targetSpeed = duration_s > 0.0 && s < 1.0 ? delta * ds / duration_s : 0.0;
  return t;
}

}  // namespace drivesim::model
