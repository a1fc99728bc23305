#include "drivebase/comm.h"

#include <cmath>

namespace {

drivebase::DriveLink* g_activeLink = nullptr;
std::string g_lastError;

bool Fail(std::string text) {
  g_lastError = std::move(text);
  return false;
}

std::string NotConnected(std::string_view action, std::string_view name) {
  return "Communication error: no drive is connected (" + std::string(action) + " '" +
         std::string(name) + "')";
}

}  // namespace

void CMC_Comm::SetActiveLink(drivebase::DriveLink* link) { g_activeLink = link; }

drivebase::DriveLink* CMC_Comm::GetActiveLink() { return g_activeLink; }

bool CMC_Comm::WriteValue(std::string_view name, double internal, int sizeInWords) {
  if (g_activeLink == nullptr) return Fail(NotConnected("writing", name));
  if (!g_activeLink->WriteValue(name, internal, sizeInWords)) {
    return Fail(g_activeLink->LastError());
  }
  return true;
}

bool CMC_Comm::ReadValue(std::string_view name, int sizeInWords, double& internal) {
  if (g_activeLink == nullptr) return Fail(NotConnected("reading", name));
  double value = 0.0;
  if (!g_activeLink->ReadValue(name, sizeInWords, value)) return Fail(g_activeLink->LastError());
  if (!std::isfinite(value)) {
    return Fail("Communication error: the drive answered no number for '" + std::string(name) +
                "'");
  }
  internal = value;
  return true;
}

const char* CMC_Comm::GetLastErrorText() { return g_lastError.c_str(); }
