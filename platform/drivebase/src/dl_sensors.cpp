#include "drivebase/dl_sensors.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace drivebase {
namespace {

enum class Side { None, Motor, Load };

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool Accepts(const FeedbackConnector& connector, int type) {
  return std::find(connector.sensorTypes.begin(), connector.sensorTypes.end(), type) !=
         connector.sensorTypes.end();
}

int ConnectorCount(const std::vector<FeedbackConnector>& connectors) {
  return static_cast<int>(connectors.size());
}

bool InTable(const std::vector<FeedbackConnector>& connectors, int index) {
  return index >= 0 && index < ConnectorCount(connectors);
}

// The first connector from `start` on (wrapping round) that accepts the type, skipping `avoid`;
// -1 when none does.
int FindConnector(const std::vector<FeedbackConnector>& connectors, int type, int start, int avoid) {
  const int count = ConnectorCount(connectors);
  for (int step = 0; step < count; ++step) {
    const int index = (start + step) % count;
    if (index != avoid && Accepts(connectors[static_cast<std::size_t>(index)], type)) return index;
  }
  return -1;
}

struct SideRef {
  int& type;
  int& connector;
  bool typeChanged;
  bool connectorChanged;
};

void CorrectSide(const std::vector<FeedbackConnector>& connectors, int maxSensorType,
                 const std::vector<int>& selectable, SideRef side) {
  const bool known = side.type >= 0 && side.type <= maxSensorType &&
                     std::find(selectable.begin(), selectable.end(), side.type) != selectable.end();
  if (side.type != 0 && !known) side.type = 0;
  if (!InTable(connectors, side.connector)) {
    const int found = side.type == 0 || connectors.empty() ? -1 : FindConnector(connectors, side.type, 0, -1);
    side.connector = std::max(found, 0);
  }
  if (side.type == 0 || connectors.empty()) return;
  const FeedbackConnector& chosen = connectors[static_cast<std::size_t>(side.connector)];
  if (Accepts(chosen, side.type)) return;
  if (side.connectorChanged && !chosen.sensorTypes.empty()) {
    side.type = chosen.sensorTypes.front();
  } else {
    side.connector = FindConnector(connectors, side.type, 0, -1);
  }
}

}  // namespace

std::vector<int> SelectableSensorTypes(const std::vector<FeedbackConnector>& connectors) {
  std::vector<int> types;
  for (const FeedbackConnector& connector : connectors) {
    for (const int type : connector.sensorTypes) {
      if (type != 0 && std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    }
  }
  std::sort(types.begin(), types.end());
  return types;
}

bool CorrectDlSensors(const std::vector<FeedbackConnector>& connectors, int maxSensorType,
                      std::string_view changedName, DlSensorSelection& selection) {
  const DlSensorSelection before = selection;
  const std::vector<int> selectable = SelectableSensorTypes(connectors);
  const bool motorType = SameName(changedName, "MotorSensorType");
  const bool motorConnector = SameName(changedName, "MotorSensorConnector");
  const bool loadType = SameName(changedName, "LoadSensorType");
  const bool loadConnector = SameName(changedName, "LoadSensorConnector");
  CorrectSide(connectors, maxSensorType, selectable,
              {selection.motorType, selection.motorConnector, motorType, motorConnector});
  CorrectSide(connectors, maxSensorType, selectable,
              {selection.loadType, selection.loadConnector, loadType, loadConnector});

  const bool shared = selection.motorType != 0 && selection.loadType != 0 &&
                      selection.motorConnector == selection.loadConnector;
  if (shared) {
    const bool loadChanged = loadType || loadConnector;
    SideRef keep = loadChanged ? SideRef{selection.loadType, selection.loadConnector, false, false}
                               : SideRef{selection.motorType, selection.motorConnector, false, false};
    SideRef move = loadChanged ? SideRef{selection.motorType, selection.motorConnector, false, false}
                               : SideRef{selection.loadType, selection.loadConnector, false, false};
    const int taken = move.connector;
    if (const int other = FindConnector(connectors, move.type, taken + 1, taken); other >= 0) {
      move.connector = other;
    } else if (const int free = FindConnector(connectors, keep.type, taken + 1, taken); free >= 0) {
      keep.connector = free;
    } else {
      move.type = 0;
    }
  }
  return !(selection == before);
}

}  // namespace drivebase
