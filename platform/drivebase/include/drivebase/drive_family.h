// What the host knows of the drive family and of the connected drive: identity, ADC full scale,
// feedback connectors and the sensors each accepts, serial-encoder clock lists, I/O pins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace drivebase {

struct DriveIdentity {
  std::string firmwareId;
  std::string productId;
  std::string applicationId;  // the user's application id
  std::string description;
  int e2romSize = 0;  // words
};

// A firmware id is 1 to 15 letters and digits, e.g. "F514K".
bool IsValidFirmwareId(const std::string& id);

struct FeedbackConnector {
  std::string name;              // e.g. "Feedback #1"
  std::vector<int> sensorTypes;  // sensor codes this input accepts
};

// Selectable serial-encoder clocks: frequencies in kHz and the clock-mode code of each.
struct ClockList {
  std::vector<int> kHz;
  std::vector<int> modes;
};

struct IoPin {
  int pin = 0;
  int port = 0;
  bool brakeOutput = false;  // can drive a motor brake
  bool sourceOutput = true;  // output stage: source (PNP, switches +Vlog) or sink (NPN, to GND)
  bool inverted = false;     // the drive inverts the output's logic level
};

struct DriveFamilyData {
  std::uint32_t adcFullScale = 65472;  // full-scale count of the current and voltage ADCs
  int generation = 1;                  // drive generation (GetMCVersion)
  int maxSensorType = 9;               // highest sensor code the family knows
  std::vector<std::string> sensorNames;  // by sensor code
  std::vector<FeedbackConnector> connectors;
  ClockList ssiClocks;
  ClockList bissClocks;
  std::vector<IoPin> ioPins;
};

}  // namespace drivebase
