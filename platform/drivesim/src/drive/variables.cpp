// Drive and program variables. A name is looked up in the loaded program's memory first, then
// among the drive's live values and drive variables, then among the registers.
#include <algorithm>
#include <cmath>
#include <limits>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {

std::pair<double, double> RangeOf(VariableType type) {
  switch (type) {
    case VariableType::int16: return {-32768.0, 32767.0};
    case VariableType::uint16: return {0.0, 65535.0};
    case VariableType::int32:
    case VariableType::fixed16_16: break;
  }
  return {static_cast<double>(std::numeric_limits<std::int32_t>::min()),
          static_cast<double>(std::numeric_limits<std::int32_t>::max())};
}

// Round to nearest, then saturate to the storage range.
std::int32_t Store(double internal, VariableType type) {
  const auto [lo, hi] = RangeOf(type);
  if (std::isnan(internal)) return 0;
  const double rounded = std::round(internal);
  return static_cast<std::int32_t>(rounded < lo ? lo : (rounded > hi ? hi : rounded));
}

}  // namespace

const ProgramVariable* Drive::Impl::ProgramVariableOf(std::string_view name) const {
  if (descriptor == nullptr) return nullptr;
  for (const ProgramVariable& v : descriptor->variables) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

std::optional<std::int32_t> Drive::Impl::LiveValue(std::string_view name) const {
  if (name == "MER") return static_cast<std::int32_t>(latchedErrors | (enableActive ? 0 : mer::kEnableInactive));
  if (name == "APOS_MT") return Counter(options.motor_sensor_connector);
  if (name == "APOS_LD") return Counter(options.load_sensor_connector);
  if (name == "CAPPOS") return feedback[0].encoder.capture;
  if (name == "CAPPOS2") return feedback[1].encoder.capture;
  if (name == "AD5") return referenceCounts;
  if (name == "AD6") return linearHallCounts[0];
  if (name == "AD3") return linearHallCounts[1];
  if (name == "AD8" || name == "AD9") return linearHallCounts[2];
  if (name == "HALL") return HallInputs();
  return std::nullopt;
}

std::optional<std::int32_t> Drive::Impl::Read(std::string_view name) const {
  if (const auto it = programMemory.find(name); it != programMemory.end()) return it->second;
  if (const auto live = LiveValue(name)) return live;
  if (const auto v = drive::FindDriveVar(name)) return driveVariables[*v];
  if (const auto it = registers.find(name); it != registers.end()) return it->second;
  return std::nullopt;
}

void Drive::Impl::ResolveLoggedValues() {
  loggedValues.clear();
  for (const std::string& name : logger.Variables()) {
    const std::int32_t* value = nullptr;
    if (const auto it = programMemory.find(name); it != programMemory.end()) {
      value = &it->second;
    } else if (const auto v = drive::FindDriveVar(name); v && !LiveValue(name)) {
      value = &driveVariables[*v];
    }
    loggedValues.push_back(value);
  }
}

void Drive::Impl::TakeLoggerPoint(bool slow) {
  if (!logger.TakesPoint(slow)) return;
  std::vector<std::int32_t> values;
  values.reserve(loggedValues.size());
  for (std::size_t k = 0; k < loggedValues.size(); ++k) {
    values.push_back(loggedValues[k] ? *loggedValues[k] : Read(logger.Variables()[k]).value_or(0));
  }
  logger.Record(tick, timing.pwm_s(), std::move(values));
}

bool Drive::Impl::Write(std::string_view name, double internal) {
  if (const auto it = programMemory.find(name); it != programMemory.end()) {
    it->second = Store(internal, ProgramVariableOf(name)->type);
    return true;
  }
  if (name == "MER") {
    const std::uint16_t held = HeldLimitBits();
    latchedErrors &= static_cast<std::uint16_t>(Store(internal, VariableType::uint16));
    latchedErrors |= held;
    return true;
  }
  const auto counterOf = [this](std::string_view n) -> std::uint32_t* {
    if (n == "APOS_MT") return &feedback[static_cast<std::size_t>(options.motor_sensor_connector)].encoder.counter;
    if (n == "APOS_LD") return &feedback[static_cast<std::size_t>(options.load_sensor_connector)].encoder.counter;
    return nullptr;
  };
  if (std::uint32_t* counter = counterOf(name)) {
    *counter = static_cast<std::uint32_t>(Store(internal, VariableType::int32));
    return true;
  }
  if (name == "CAPPOS" || name == "CAPPOS2") {
    feedback[name == "CAPPOS" ? 0 : 1].encoder.capture = Store(internal, VariableType::int32);
    return true;
  }
  if (LiveValue(name)) return true;  // inputs such as HALL follow the hardware
  if (const auto v = drive::FindDriveVar(name)) {
    driveVariables[*v] = Store(internal, drive::IsOneWord(*v) ? VariableType::int16 : VariableType::int32);
    return true;
  }
  if (const auto it = registers.find(name); it != registers.end()) {
    it->second = Store(internal, VariableType::int32);
    RefreshRegisterCache();
    return true;
  }
  return false;
}

std::int32_t Drive::Impl::Register(std::string_view name, std::int32_t fallback) const {
  const auto it = registers.find(name);
  return it == registers.end() ? fallback : it->second;
}

std::int32_t Drive::Impl::ProgramValue(std::string_view name) const {
  const auto it = programMemory.find(name);
  return it == programMemory.end() ? 0 : it->second;
}

void Drive::Impl::SetProgramValue(std::string_view name, std::int32_t value) {
  if (ProgramSkips(name)) return;
  const auto it = programMemory.find(name);
  if (it != programMemory.end()) it->second = Store(value, ProgramVariableOf(name)->type);
}

void Drive::Impl::RefreshRegisterCache() {
  gains.kpi = Register("KPI", 0);
  gains.sftkpi = Register("SFTKPI", 0);
  gains.kii = Register("KII", 0);
  gains.sftkii = Register("SFTKII", 0);
  // A saturation register beyond full scale leaves no voltage rather than a negative limit.
  const auto limit = [this](const char* name) { return std::max(0, 32767 - Register(name, 0)); };
  gains.voltageLimit = limit("SATPWM");
  gains.limitD = limit("SATID");
  gains.limitQ = limit("SATIQ");
  gains.filterQ = Register("FILTERQ", 32767);
  gains.ffl = Register("FFL", 0);
  gains.kffl = Register("KFFL", 0);
  const control::RegisterLookup lookup = [this](std::string_view name, std::int32_t fallback) {
    return Register(name, fallback);
  };
  speedGains = control::SpeedGainsFromRegisters(lookup);
  positionGains = control::PositionGainsFromRegisters(lookup);
  biquads = control::BiquadsFromRegisters(lookup);
  RefreshDecodeSettings();
  RefreshProtectionSettings();
  RefreshServoRegisters();
  ApplyInputLevels();
}

}  // namespace drivesim
