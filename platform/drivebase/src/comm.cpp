#include "drivebase/comm.h"

#include <cmath>

#include "drivebase/offline_link.h"

namespace {

drivebase::DriveLink* g_activeLink = nullptr;
std::string g_lastError;
std::uint64_t g_lastLaunch = 0;     // serial numbers handed out so far
std::uint64_t g_currentLaunch = 0;  // the launch whose program memory the drive holds
CMC_Comm::UnsolicitedMsgHandler g_unsolicitedHandler = nullptr;

drivebase::OfflineLink& Offline() {
  static drivebase::OfflineLink offline;
  return offline;
}

// Runs one access on the link in use, keeping its error text when it fails.
template <class Access>
bool Attempt(Access access) {
  drivebase::DriveLink& link = CMC_Comm::GetActiveLink();
  if (access(link)) return true;
  g_lastError = link.LastError();
  return false;
}

bool Fail(std::string text) {
  g_lastError = std::move(text);
  return false;
}

// A message whose length word disagrees with its size would make a handler read past its end.
bool IsWellFormed(const drivebase::UnsolicitedMessage& message) {
  return message.size() >= 3 && message.size() == 3u + message[0];
}

}  // namespace

void CMC_Comm::SetActiveLink(drivebase::DriveLink* link) {
  g_activeLink = link;
  g_currentLaunch = 0;
}

drivebase::DriveLink& CMC_Comm::GetActiveLink() {
  return g_activeLink != nullptr ? *g_activeLink : Offline();
}

bool CMC_Comm::WriteValue(std::string_view name, double internal, int sizeInWords) {
  return Attempt([&](drivebase::DriveLink& link) { return link.WriteValue(name, internal, sizeInWords); });
}

bool CMC_Comm::ReadValue(std::string_view name, int sizeInWords, double& internal) {
  double value = 0.0;
  if (!Attempt([&](drivebase::DriveLink& link) { return link.ReadValue(name, sizeInWords, value); })) {
    return false;
  }
  if (!std::isfinite(value)) {
    return Fail("Communication error: the drive answered no number for '" + std::string(name) + "'");
  }
  internal = value;
  return true;
}

std::uint64_t CMC_Comm::Launch(const drivebase::ProgramLaunch& launch) {
  if (!Attempt([&](drivebase::DriveLink& link) { return link.Launch(launch); })) return 0;
  g_currentLaunch = ++g_lastLaunch;
  return g_currentLaunch;
}

std::uint64_t CMC_Comm::CurrentLaunch() { return g_currentLaunch; }

bool CMC_Comm::WriteProgramVariable(std::string_view name, double internal) {
  return Attempt([&](drivebase::DriveLink& link) { return link.WriteProgramVariable(name, internal); });
}

bool CMC_Comm::ReadProgramVariable(std::string_view name, double& internal) {
  return Attempt([&](drivebase::DriveLink& link) { return link.ReadProgramVariable(name, internal); });
}

bool CMC_Comm::StopProgram() {
  return Attempt([](drivebase::DriveLink& link) { return link.StopProgram(); });
}

bool CMC_Comm::GetAxisOn(int& on) {
  bool axisOn = false;
  if (!Attempt([&](drivebase::DriveLink& link) { return link.GetAxisOn(axisOn); })) return false;
  on = axisOn ? 1 : 0;
  return true;
}

bool CMC_Comm::ExecuteString(std::string_view command) {
  return Attempt([&](drivebase::DriveLink& link) { return link.ExecuteString(command); });
}

bool CMC_Comm::FitLoggerPoints(drivebase::LoggerSettings& settings) {
  return Attempt([&](drivebase::DriveLink& link) { return link.FitLoggerPoints(settings); });
}

bool CMC_Comm::UploadLog(std::vector<drivebase::LoggedPoint>& points) {
  return Attempt([&](drivebase::DriveLink& link) { return link.UploadLog(points); });
}

bool CMC_Comm::ArmScope(const drivebase::ScopeSettings& settings) {
  return Attempt([&](drivebase::DriveLink& link) { return link.ArmScope(settings); });
}

bool CMC_Comm::DisarmScope() {
  return Attempt([](drivebase::DriveLink& link) { return link.DisarmScope(); });
}

bool CMC_Comm::GetScopeRunning(int& running) {
  bool isRunning = false;
  if (!Attempt([&](drivebase::DriveLink& link) { return link.GetScopeRunning(isRunning); })) return false;
  running = isRunning ? 1 : 0;
  return true;
}

bool CMC_Comm::ResetActiveBoard() {
  return Attempt([](drivebase::DriveLink& link) { return link.Reset(); });
}

CMC_Comm::UnsolicitedMsgHandler CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(UnsolicitedMsgHandler handler) {
  const UnsolicitedMsgHandler previous = g_unsolicitedHandler;
  g_unsolicitedHandler = handler;
  return previous;
}

int CMC_Comm::CheckForUnrequestedMessages() {
  std::vector<drivebase::UnsolicitedMessage> messages;
  if (!Attempt([&](drivebase::DriveLink& link) { return link.ReceiveUnsolicited(messages); })) return -1;
  int delivered = 0;
  for (const drivebase::UnsolicitedMessage& message : messages) {
    if (g_unsolicitedHandler == nullptr || !IsWellFormed(message)) continue;
    g_unsolicitedHandler(message.data());
    ++delivered;
  }
  return delivered;
}

const char* CMC_Comm::GetLastErrorText() { return g_lastError.c_str(); }

void CMC_Comm::SetLastErrorText(std::string text) { g_lastError = std::move(text); }
