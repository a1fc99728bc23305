#include "compute/tuning.h"

#include <cmath>

#include "compute/derivation_rule.h"
#include "compute/position_scale.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace {

using kestrel::RuleInputs;

bool MotorSideRotary(RuleInputs& in) { return kestrel::IsMotorSideRotary(in.Code("TransmissionType")); }

// Inertia over torque constant, or for a linear motor pole pitch times mass over force constant.
double PlantGain(RuleInputs& in) {
  if (MotorSideRotary(in)) return in.Base("Jt") / in.Base("K");
  return in.Base("PolePitch") * in.Base("Mt") / in.Base("Kf");
}

}  // namespace

double OuterLoopPeriod(const CMC_Setup* setup) {
  const CMC_Parameter* fast = kestrel::FindOptionalParameter(setup, "PosSpd_in_FastLoop");
  if (fast != nullptr && fast->GetValueInBaseUnit() != 0.0) return GetCurrentLoopPeriod(setup);
  return GetSpeedLoopPeriod(setup);
}

bool TuneCurrentController(CMC_Setup* setup) {
  RuleInputs in(setup);
  const double r = in.Base("R");
  const double l = in.Base("L");
  const int connection = in.Code("MotorPhaseConnectionType");
  const double w = in.Base("PB_C");
  const double z = in.Base("Dump_C");
  CMC_Parameter* kp = in.Need("Kp_C_scl");
  CMC_Parameter* ki = in.Need("Ki_C_scl");
  if (!in.Complete()) return false;

  const double tau = l / r;
  const double phaseResistance = connection == 1 ? r / 3.0 : r;
  const double g = phaseResistance * GetVoltageScale(setup) / GetCurrentScale(setup);
  const double tc = GetCurrentLoopPeriod(setup);
  if (tau > 4.0 * tc) {
    kp->SetValueInBaseUnit((2.0 * z * w * tau - 1.0) * g);
    ki->SetValueInBaseUnit(w * w * tau * tc * g);
  } else {
    kp->SetValueInBaseUnit((tau / (2.0 * std::sqrt(2.0) * tc) - 1.0) * g);
    ki->SetValueInBaseUnit(w * tc * g);
  }
  return true;
}

bool TuneSpeedController(CMC_Setup* setup) {
  RuleInputs in(setup);
  const double w = in.Base("PB_S");
  const double z = in.Base("Dump_S");
  const double x = PlantGain(in);
  CMC_Parameter* ki = in.Need("Ki_S_scl");
  CMC_Parameter* kp = in.Need("Kp_S_scl");
  if (!in.Complete()) return false;

  const double t = OuterLoopPeriod(setup);
  const double iscale = GetCurrentScale(setup);
  const double s = std::fabs(GetMotorSpeedScale(setup));
  ki->SetValueInBaseUnit(w * w * t * x * iscale / s);
  kp->SetValueInBaseUnit(2.0 * z * w * x * iscale / s);
  return true;
}

double SpeedLoopPlantGain(CMC_Setup* setup) {
  RuleInputs in(setup);
  // The shaft answers to torque over inertia or force over mass; the tuning rule's linear X
  // carries the pole pitch besides.
  const double x = MotorSideRotary(in) ? in.Base("Jt") / in.Base("K") : in.Base("Mt") / in.Base("Kf");
  if (!in.Complete() || x == 0.0) return 0.0;
  return OuterLoopPeriod(setup) * std::fabs(GetMotorSpeedScale(setup)) / (x * GetCurrentScale(setup));
}

bool TunePositionController(CMC_Setup* setup) {
  RuleInputs in(setup);
  const double w = in.Base("PB_P");
  const double z = in.Base("Dump_P");
  const bool cascade = in.Code("PositionControlType") == 1;
  const bool dualLoop = in.Code("MotorSensorType") != 0 && in.Code("LoadSensorType") != 0;
  const double ratio = in.Base("Motor_transmission") / in.Base("Load_transmission");
  const double x = cascade ? 0.0 : PlantGain(in);
  CMC_Parameter* ki = in.Need("Ki_P_scl");
  CMC_Parameter* kp = in.Need("Kp_P_scl");
  CMC_Parameter* kd = in.Need("Kd_P_scl");
  if (!in.Complete()) return false;

  const double t = OuterLoopPeriod(setup);
  const double p = std::fabs(GetLoadPositionScale(setup));
  if (cascade) {
    const double speedScale = std::fabs(GetMotorSpeedScale(setup));
    const double s = dualLoop ? speedScale * std::fabs(ratio) : speedScale;
    ki->SetValueInBaseUnit(w * w * t * s / p);
    kp->SetValueInBaseUnit(2.0 * z * w * s / p);
    kd->SetValueInBaseUnit(0.0);
  } else {
    const double iscale = GetCurrentScale(setup);
    ki->SetValueInBaseUnit(w * w * w * t * x * iscale / p);
    kp->SetValueInBaseUnit((2.0 * z + 1.0) * w * w * x * iscale / p);
    kd->SetValueInBaseUnit((2.0 * z + 1.0) * w * x * iscale / (p * t));
  }
  return true;
}
