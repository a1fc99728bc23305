// The user's hand on the shaft: a spring-damper towards a scripted trajectory,
//   T_hand = −k_h·(θ_m − θ_h(t)) − b_h·(ω_m − θ̇_h(t)),
// θ_h moving on minimum-jerk segments θ_0 + Δ·(10s³ − 15s⁴ + 6s⁵), s = (t − t_0)/D.
#pragma once

#include "model/plant.h"

namespace drivesim::model {

struct Hand {
  bool engaged = false;
  double stiffness = 20.0;          // k_h, N·m/rad (N/m on a linear motor)
  double damping = 0.0;             // b_h; 2·√(k_h·J) when engaged by Turn or Hold, unless set
  bool dampingSet = false;          // the coupling was set (SetCoupling): Turn and Hold keep it
  double start = 0.0, delta = 0.0;  // trajectory θ_0 and Δ
  double startTime_s = 0.0, duration_s = 0.0;

  void Turn(double from, double by, double now_s, double duration, double inertia);
  void Hold(double at, double now_s, double inertia);
  void Release() { engaged = false; }
  void SetCoupling(double k, double b);    // a stiffer or softer hand from now on
  // The coupling with the target at now_s (inline: asked at every plant step).
  ExternalTorque At(double now_s) const {
    if (!engaged) return {};
    return Engaged(now_s);
  }

 private:
  ExternalTorque Engaged(double now_s) const;
};

}  // namespace drivesim::model
