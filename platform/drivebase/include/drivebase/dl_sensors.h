// The choice of the motor and load sensors: a sensor type and a feedback connector for each side,
// kept consistent with what each connector accepts.
#pragma once

#include <string_view>
#include <vector>

#include "drivebase/drive_family.h"

namespace drivebase {

struct DlSensorSelection {
  int motorType = 0;
  int motorConnector = 0;
  int loadType = 0;
  int loadConnector = 0;
  bool operator==(const DlSensorSelection&) const = default;
};

// Corrects a selection against the connector table, changedName being the parameter the user
// just changed ("MotorSensorType", "MotorSensorConnector", "LoadSensorType",
// "LoadSensorConnector", any case) or "" for none. The rules, in order:
//   1. A type outside 0 ... maxSensorType, or one that no connector accepts, becomes 0 (none).
//   2. A connector outside the table becomes the first connector that accepts the side's type
//      (0 when the type is 0 or the table is empty).
//   3. A side whose connector does not accept its type: when the user just chose that connector,
//      the type becomes the first type the connector accepts; otherwise the connector becomes
//      the first one that accepts the type.
//   4. Both sides with a sensor on one connector: the side the user did not just change (the
//      load side when neither) moves to the next connector that accepts its type; when there is
//      none, the side just changed moves instead; when neither can, the side not changed gets
//      type 0 (none).
// Returns whether anything changed.
bool CorrectDlSensors(const std::vector<FeedbackConnector>& connectors, int maxSensorType,
                      std::string_view changedName, DlSensorSelection& selection);

// Every sensor type that some connector accepts, in code order (0 not included).
std::vector<int> SelectableSensorTypes(const std::vector<FeedbackConnector>& connectors);

}  // namespace drivebase
