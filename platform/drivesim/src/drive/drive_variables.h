// The drive-level variables that the programs write and the tests read, held in a table indexed
// by name order (lookups by text only on link accesses).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace drivesim::drive {

enum class DriveVar {
  REFTST_V, RINCTST_V, THTST, TINCTST, IQ, ID, Current_Reference, Motor_Current, Voltage_Reference,
  Speed_Reference, Load_Speed, Target_Position, Load_Position, Electric_Angle, POSINC, var_i1, var_i2,
  var_u2, var_lf_long, ZAOFF, ALPHA, KSLIP, SFTCWEAK, AD3OFF, AD6OFF, SRECTCOMP, SIN2REC, ELRES_FRACT,
  count
};

inline constexpr std::array<std::string_view, static_cast<std::size_t>(DriveVar::count)> kDriveVarNames{
    "REFTST_V", "RINCTST_V", "THTST", "TINCTST", "IQ", "ID", "Current_Reference", "Motor_Current",
    "Voltage_Reference", "Speed_Reference", "Load_Speed", "Target_Position", "Load_Position",
    "Electric_Angle", "POSINC", "var_i1", "var_i2", "var_u2", "var_lf_long", "ZAOFF", "ALPHA",
    "KSLIP", "SFTCWEAK", "AD3OFF", "AD6OFF", "SRECTCOMP", "SIN2REC", "ELRES_FRACT"};

// Int16 variables (one logger word); the others are int32 (two words).
inline bool IsOneWord(DriveVar v) {
  switch (v) {
    case DriveVar::THTST: case DriveVar::TINCTST: case DriveVar::IQ: case DriveVar::ID:
    case DriveVar::Current_Reference: case DriveVar::Motor_Current: case DriveVar::Voltage_Reference:
      return true;
    default:
      return false;
  }
}

inline std::optional<DriveVar> FindDriveVar(std::string_view name) {
  for (std::size_t k = 0; k < kDriveVarNames.size(); ++k) {
    if (kDriveVarNames[k] == name) return static_cast<DriveVar>(k);
  }
  return std::nullopt;
}

class DriveVariables {
 public:
  std::int32_t& operator[](DriveVar v) { return values_[static_cast<std::size_t>(v)]; }
  std::int32_t operator[](DriveVar v) const { return values_[static_cast<std::size_t>(v)]; }

 private:
  std::array<std::int32_t, static_cast<std::size_t>(DriveVar::count)> values_{};
};

}  // namespace drivesim::drive
