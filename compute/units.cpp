#include "compute/units.h"

#include <initializer_list>

#include "compute/setup_access.h"
#include "drivebase/error_report.h"

namespace {

struct UnitPair {
  const char* rotary;
  const char* linear;
};

constexpr UnitPair kPosition{"rot", "mm"};
constexpr UnitPair kSpeed{"rad/s", "m/s"};
constexpr UnitPair kDisplaySpeed{"rpm", "m/s"};
constexpr UnitPair kAcceleration{"rad/s^2", "m/s^2"};
constexpr UnitPair kJerk{"rad/s^3", "m/s^3"};
constexpr UnitPair kInertia{"kgm^2 E-7", "kg"};

// Applies the unit to those of the names that exist, parameters or drive variables.
class UnitSwitch {
 public:
  UnitSwitch(CMC_Setup* setup, bool rotary) : setup_(setup), rotary_(rotary) {}

  void Parameters(std::initializer_list<const char*> names, UnitPair units) const {
    for (const char* name : names) {
      if (CMC_Parameter* parameter = setup_->FindParameter(name)) {
        parameter->ChangeUnitType(rotary_ ? units.rotary : units.linear);
      }
    }
  }

  void Variables(std::initializer_list<const char*> names, UnitPair units) const {
    for (const char* name : names) {
      if (CMC_Variable* variable = setup_->FindVariable(name, 0)) {
        variable->ChangeUnitType(rotary_ ? units.rotary : units.linear);
      }
    }
  }

 private:
  CMC_Setup* setup_;
  bool rotary_;
};

}  // namespace

int ComputeUnits(CMC_Setup* setup) {
  const drivebase::ErrorReportingOff silent;
  const int transmission = kestrel::ReadCode(setup, "TransmissionType");
  const UnitSwitch motor(setup, kestrel::IsMotorSideRotary(transmission));
  const UnitSwitch load(setup, kestrel::IsLoadSideRotary(transmission));
  using kestrel::HasParameter;

  motor.Parameters({"Motor_transmission"}, kPosition);
  motor.Variables({"APOS_MT"}, kPosition);
  motor.Parameters({"TestMaxSpeed"}, kSpeed);
  motor.Variables({"ASPD_MT"}, kDisplaySpeed);

  load.Parameters({"Load_transmission", "TestPosition", "ERR_position"}, kPosition);
  if (HasParameter(setup, "CADIN")) load.Parameters({"POS_max", "POS_min"}, kPosition);
  if (HasParameter(setup, "POSOKLIM_FC") && HasParameter(setup, "TONPOSOK_FC")) {
    load.Parameters({"FreezeControl_errband"}, kPosition);
  }
  if (HasParameter(setup, "isSWLS")) load.Parameters({"Negative_SWLS", "Positive_SWLS"}, kPosition);
  load.Variables({"Load_Position", "Target_Position", "Position_Error", "Pulse_Dir_Input_Position",
                  "APOS", "APOS_LD", "CAPPOS", "CPOS", "EREFP", "ERRMAX", "HOMEPOS", "POSERR",
                  "POSINIT", "POSOKLIM", "POSTRIGG1", "POSTRIGG2", "POSTRIGG3", "POSTRIGG4",
                  "TPOS", "TPOSFAST"},
                 kPosition);
  if (HasParameter(setup, "ERRMAXL")) load.Variables({"ERRMAXL"}, kPosition);

  load.Parameters({"Limit_Speed", "ERR_speed"}, kSpeed);
  load.Parameters({"TestSpeed", "ErefMaxSpeed"}, kDisplaySpeed);
  if (HasParameter(setup, "CADIN")) load.Parameters({"SPD_max", "SPD_min"}, kDisplaySpeed);
  load.Variables({"Load_Speed", "Target_Speed", "Speed_Reference", "Speed_Error",
                  "Pulse_Dir_Input_Speed", "ASPD", "ASPD_LD", "CSPD", "EREFS", "HOMESPD",
                  "SERRMAX", "SPDERR", "SPDREF", "TSPD"},
                 kDisplaySpeed);

  load.Parameters({"ErefMaxAcceleration"}, kAcceleration);
  load.Variables({"CACC", "CDEC", "TACC"}, kAcceleration);
  load.Variables({"JERK"}, kJerk);
  load.Variables({"Jt"}, kInertia);
  return 1;
}
