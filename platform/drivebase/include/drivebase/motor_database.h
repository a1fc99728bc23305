// The motor database: named motors with their data, as the Motor Setup dialog offers them.
// Kestrel ships one database (resources/motors.json); the user's own motors live in
// $XDG_DATA_HOME/kestrel/motors.json (~/.local/share/kestrel/motors.json without XDG_DATA_HOME).
//
// File format (JSON):
//   {"format": "kestrel-motors", "version": 1, "motors": [
//     {"name": "KM-060-40", "motion": "rotary",
//      "values": {"In": 4.2, "ImaxM": 12.6, "pp": 4, ...}}]}
// Values are in the parameters' base (SI) units; the names are those of MotorDataNames().
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CMC_Setup;

namespace drivebase {

enum class MotorMotion { Rotary, Linear };

struct MotorEntry {
  std::string name;
  MotorMotion motion = MotorMotion::Rotary;
  std::vector<std::pair<std::string, double>> values;  // parameter name, base-unit value
};

// A database file that cannot be read or written; the message names the file and the entry.
class MotorDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The parameters that make up a motor's data, in the order they are applied.
std::span<const std::string_view> MotorDataNames();

// The motion of the setup's motor side: linear for TransmissionType 2 or 3.
MotorMotion MotorMotionOf(const CMC_Setup& setup);

class MotorDatabase {
 public:
  // Reads a database file; a missing file gives an empty database when allowMissing is set.
  // Throws MotorDatabaseError naming the file and the entry for anything faulty.
  static MotorDatabase Load(const std::filesystem::path& file, bool allowMissing);
  static MotorDatabase Parse(std::string_view text, const std::string& fileName);

  // Writes the database atomically (the old file stays whole when this fails).
  void Save(const std::filesystem::path& file) const;
  std::string ToText() const;

  const std::vector<MotorEntry>& Motors() const { return motors_; }
  const MotorEntry* Find(std::string_view name) const;
  // Adds the motor, or replaces the one of the same name (compared exactly).
  void Put(MotorEntry motor);
  bool Remove(std::string_view name);

 private:
  std::vector<MotorEntry> motors_;
};

// The motor data of the setup (each of MotorDataNames that the setup holds, in base units),
// as a database entry of that name.
MotorEntry MotorFromSetup(const CMC_Setup& setup, std::string name);

// Writes the entry's values into the setup (those the setup holds; each clamped and rounded as
// the setup keeps it); returns the names whose value changed, in the entry's order.
std::vector<std::string> ApplyMotorToSetup(const MotorEntry& motor, CMC_Setup& setup);

// Where the databases are.
std::filesystem::path ShippedMotorDatabasePath();
std::filesystem::path UserMotorDatabasePath();

}  // namespace drivebase
