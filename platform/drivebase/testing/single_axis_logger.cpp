// The logger of one axis: how many points, on which loop, how often.
#include <limits>

#include "drivebase/logger.h"

bool CMC_SingleAxisLogger::ChangeSettings(std::uint16_t points, int type, std::uint16_t divider) {
  if (points == 0 || (type != 1 && type != 2) || divider == 0) return false;
  points_ = points;
  type_ = type;
  divider_ = divider;
  return true;
}

bool CMC_SingleAxisLogger::CorrectPointsNo() {
  drivebase::LoggerSettings settings = LaunchSettings();
  if (!CMC_Comm::FitLoggerPoints(settings)) return false;
  if (settings.points < 1 || settings.points > points_) return false;  // the drive never raises them
  points_ = static_cast<std::uint16_t>(settings.points);
  return true;
}

void CMC_SingleAxisLogger::Reset() { ClearVariables(); }

drivebase::LoggerSettings CMC_SingleAxisLogger::LaunchSettings() const {
  drivebase::LoggerSettings settings{points_, type_, divider_, {}};
  for (const LoggedVariable& variable : Variables()) settings.variables.push_back(variable.name);
  return settings;
}

bool CMC_SingleAxisLogger::ApplySettings(const drivebase::LoggerSettings& settings) {
  constexpr int kMax = std::numeric_limits<std::uint16_t>::max();
  if (settings.points < 1 || settings.points > kMax || settings.divider < 1 || settings.divider > kMax) return false;
  return ChangeSettings(static_cast<std::uint16_t>(settings.points), settings.type,
                        static_cast<std::uint16_t>(settings.divider));
}
