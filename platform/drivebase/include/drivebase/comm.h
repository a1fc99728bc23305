// Communication with the drive. Everything the host does with a drive goes through one link: a
// simulated drive, or the offline link that refuses every access. CMC_Comm holds the link in
// use (the offline link while none is connected) and the text of the last failed access.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivebase {

// A value as it travels to the drive: name, internal value and size in 16-bit words.
struct DriveValue {
  std::string name;
  double internal = 0.0;
  int sizeInWords = 1;
};

// How the drive's logger samples during a launch.
struct LoggerSettings {
  int points = 100;
  int type = 2;     // 1: every `divider` slow-loop periods; 2: every `divider` fast-loop periods
  int divider = 1;
  std::vector<std::string> variables;  // logged in this order, in internal units
};

// One uploaded point: seconds since the logger triggered, then the logged variables.
struct LoggedPoint {
  double time_s = 0.0;
  std::vector<double> values;
};

// The drive's scope: drive variables sampled on the slow or fast grid and sent as unsolicited
// frames (code 0xE900; docs/program-images.md gives their layout).
struct ScopeTrigger {
  std::string variable;   // a window starts where this variable crosses the level
  double level = 0.0;     // internal units
  bool rising = true;
  int pretrigger = 0;     // samples before the trigger that open the window
};

struct ScopeSettings {
  std::vector<std::string> channels;  // drive variables, in frame order
  int type = 2;           // 1: every `divider` slow-loop periods; 2: every `divider` fast-loop periods
  int divider = 1;
  int window = 1000;      // samples of one capture (sample index 0 … window − 1)
  bool single = true;     // one window, then stopped; otherwise windows follow one another
  std::optional<ScopeTrigger> trigger;
};

// A program launch: the registers go to the drive first, then the image's user variables to
// program memory, then the program starts with the logger attached when there is one.
struct ProgramLaunch {
  std::string program;                 // full name, e.g. "IE_Current_Controller_Tuning_Test"
  std::optional<int> imageVersion;     // the image's descriptor version; none without an image
  std::vector<DriveValue> registers;
  std::vector<DriveValue> configuration;  // the drive's configuration (SetupConfiguration), with the registers
  std::vector<DriveValue> variables;   // program variables, internal values
  std::optional<LoggerSettings> logger;
};

// An unsolicited message: word 0 the payload length in words, word 1 the axis, word 2 the
// message code, then the payload.
using UnsolicitedMessage = std::vector<std::uint16_t>;

// One connection to a drive. Every operation returns false when it fails and LastError then
// says what was attempted and why it failed. A link that offers only values (a recording fake)
// overrides WriteValue and ReadValue; the other operations then fail as not offered.
class DriveLink {
 public:
  virtual ~DriveLink() = default;

  // What this link talks to, for the user: "offline", "simulator (motor: ...)".
  virtual std::string Description() const { return "drive link"; }

  // Drive variables and registers by name; values in the drive's internal unit.
  virtual bool WriteValue(std::string_view name, double internal, int sizeInWords) = 0;
  virtual bool ReadValue(std::string_view name, int sizeInWords, double& internal) = 0;

  virtual bool Launch(const ProgramLaunch& launch);
  // Variables of the program in program memory (the one launched last).
  virtual bool WriteProgramVariable(std::string_view name, double internal);
  virtual bool ReadProgramVariable(std::string_view name, double& internal);
  // The host's stop: the running program ramps down and ends.
  virtual bool StopProgram();
  virtual bool GetAxisOn(bool& on);
  // Stops the program, switches the axis off and clears the latched errors.
  virtual bool Reset();
  virtual bool ExecuteString(std::string_view command);

  // Lowers settings.points so that the logged points fit the drive's logger memory.
  virtual bool FitLoggerPoints(LoggerSettings& settings);
  // The points the logger of the last launch has recorded.
  virtual bool UploadLog(std::vector<LoggedPoint>& points);
  // The unsolicited messages the drive has sent up to now.
  virtual bool ReceiveUnsolicited(std::vector<UnsolicitedMessage>& messages);

  // The scope: arming restarts the capture; running is false once a single window is full.
  virtual bool ArmScope(const ScopeSettings& settings);
  virtual bool DisarmScope();
  virtual bool GetScopeRunning(bool& running);

  virtual std::string LastError() const { return lastError_; }

 protected:
  // Fails an operation the link does not offer: "The drive link cannot <attempt>".
  virtual bool Refuse(const std::string& attempt);
  // Records the text as the last error and fails.
  bool Fail(std::string text);

 private:
  std::string lastError_;
};

}  // namespace drivebase

class CMC_Comm {
 public:
  // The link that drive accesses use; null disconnects (the offline link answers). Not owned.
  static void SetActiveLink(drivebase::DriveLink* link);
  // The link in use: the active one, or the offline link.
  static drivebase::DriveLink& GetActiveLink();

  static bool WriteValue(std::string_view name, double internal, int sizeInWords);
  static bool ReadValue(std::string_view name, int sizeInWords, double& internal);

  // Starts a program; on success the launch's serial number (never 0) tells its program memory
  // apart from that of earlier launches; 0 on failure.
  static std::uint64_t Launch(const drivebase::ProgramLaunch& launch);
  // The serial number of the launch whose program memory the drive holds; 0 for none.
  static std::uint64_t CurrentLaunch();
  static bool WriteProgramVariable(std::string_view name, double internal);
  static bool ReadProgramVariable(std::string_view name, double& internal);
  static bool StopProgram();
  static bool GetAxisOn(int& on);
  static bool ExecuteString(std::string_view command);
  static bool FitLoggerPoints(drivebase::LoggerSettings& settings);
  static bool UploadLog(std::vector<drivebase::LoggedPoint>& points);

  static bool ArmScope(const drivebase::ScopeSettings& settings);
  static bool DisarmScope();
  static bool GetScopeRunning(int& running);

  // Stops the program, switches the axis off and clears the latched drive errors.
  static bool ResetActiveBoard();

  // A handler of unsolicited messages gets each message's words (word 0 the payload length)
  // and returns the message code it handled.
  using UnsolicitedMsgHandler = int (*)(const std::uint16_t* message);
  // Installs the handler (null: messages are dropped) and returns the one it replaces.
  static UnsolicitedMsgHandler RegisterReceiveUnsolicitedMsgHandler(UnsolicitedMsgHandler handler);
  // Hands the messages the drive has sent up to now to the handler; returns how many were
  // delivered, or -1 when the link fails.
  static int CheckForUnrequestedMessages();

  // The text of the last failed access.
  static const char* GetLastErrorText();
  // Records why a drive operation failed on the host's side (an unusable program image).
  static void SetLastErrorText(std::string text);
};
