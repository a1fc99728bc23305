// A simulated drive: power stage, motor, sensors, fixed-point loops, protections, program memory,
// logger and the test programs, stepped in simulated time. Deterministic: one scenario and seed
// give bit-identical results; the wall clock is never read.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drivesim/catalogue.h"
#include "drivesim/hardware.h"
#include "drivesim/motor_model.h"
#include "drivesim/scenario.h"
#include "drivesim/setup_options.h"
#include "drivesim/status.h"

namespace drivesim {

namespace programs {
class Program;
}

// The drive's register file as the setup gives it: register name → internal int32 value.
using RegisterValues = std::map<std::string, std::int32_t, std::less<>>;

// Latched and level bits of the drive error register MER.
namespace mer {
inline constexpr std::uint16_t kShortCircuit = 0x0002;
inline constexpr std::uint16_t kSensorError = 0x0004;
inline constexpr std::uint16_t kControlError = 0x0008;
inline constexpr std::uint16_t kHallMissing = 0x0020;
inline constexpr std::uint16_t kPositiveLimit = 0x0040;
inline constexpr std::uint16_t kNegativeLimit = 0x0080;
inline constexpr std::uint16_t kOverCurrent = 0x0100;
inline constexpr std::uint16_t kMotorI2t = 0x0200;
inline constexpr std::uint16_t kDriveI2t = 0x0400;
inline constexpr std::uint16_t kOverTemperature = 0x0800;
inline constexpr std::uint16_t kOverVoltage = 0x1000;
inline constexpr std::uint16_t kUnderVoltage = 0x2000;
inline constexpr std::uint16_t kEnableInactive = 0x8000;
}  // namespace mer

// Logger configuration of a launch: points, sampling and variables (in upload order).
struct LoggerSettings {
  int points = 100;                     // requested points (lowered to fit the buffer)
  int type = 2;                         // 1: every `divider` slow periods, 2: every `divider` fast periods
  int divider = 1;
  std::vector<std::string> variables;   // drive or program variables, logged in internal units
};

// One logged point: time since the trigger, then the variables in the configured order.
struct LogPoint {
  double time_s = 0.0;
  std::vector<std::int32_t> values;
};

// The scope's trigger: a capture starts at the sample where the variable crosses the level in
// the given direction; the `pretrigger` samples taken just before it open the window.
struct ScopeTrigger {
  std::string variable;                 // drive variable, internal units
  std::int32_t level = 0;
  bool rising = true;                   // previous < level ≤ present (falling: previous > level ≥ present)
  int pretrigger = 0;                   // samples before the trigger, 0 … window − 1
};

// The scope: drive variables sampled in the ISRs and sent as unsolicited frames (code 0xE900).
struct ScopeSettings {
  std::vector<std::string> channels;    // drive variables, sampled in this order
  int type = 2;                         // 1: every `divider` slow periods, 2: every `divider` fast periods
  int divider = 1;
  int window = 1000;                    // samples of one capture, 1 … 65535 (sample index 0 … window − 1)
  bool single = true;                   // stop after one window; otherwise windows follow, each re-triggered
  std::optional<ScopeTrigger> trigger;  // none: a window starts at once
};

// One unsolicited message (a scope frame): 16-bit words as the link delivers them.
struct UnsolicitedMessage {
  double time_s = 0.0;                  // simulated time at which the drive sent it
  std::vector<std::uint16_t> words;
};

class Drive {
 public:
  // A drive at time 0, axis off, no program loaded, registers empty (load them before a launch).
  Drive(DriveHardware hardware, MotorModel motor, Scenario scenario = {});
  ~Drive();
  Drive(Drive&&) noexcept;
  Drive& operator=(Drive&&) noexcept;
  Drive(const Drive&) = delete;
  Drive& operator=(const Drive&) = delete;

  double Now_s() const;                                    // simulated time of the state (first PWM tick after the last RunUntil target)
  void RunUntil(double t_s);                               // advances the simulation to t_s (no-op if t_s ≤ now)
  const DriveHardware& Hardware() const;                   // the true power stage
  const MotorModel& Motor() const;                         // the true motor
  double LinkLatency_s() const;                            // answer delay of one link transaction

  // Setup options the drive keeps in its configuration (sensor connectors, sin/cos interpolation,
  // analogue input range); rewiring restarts the feedback counters. Fails, changing nothing, for a
  // connector other than 0 or 1, both sensors on one input, or an interpolation outside 0 … 20.
  Status SetSetupOptions(const SetupOptions& options);
  Status LoadRegisters(const RegisterValues& registers);   // replaces the whole register file (each launch); fails for bad periods or a latency < 2·Ts_C
  Status WriteRegister(std::string_view name, std::int32_t value);  // one register, acts at the next tick
  std::optional<std::int32_t> ReadRegister(std::string_view name) const;  // nullopt: no such register

  // Drive and program variables by name, internal units. Program memory first (the loaded
  // program's table), then drive-level variables, then registers. nullopt / false: no such variable.
  std::optional<std::int32_t> ReadVariable(std::string_view name) const;
  bool HasVariable(std::string_view name) const;           // whether ReadVariable would find it
  bool WriteVariable(std::string_view name, double internal);  // rounds to nearest, saturates to the type

  // Launches a program by full name: stops any running program, clears latched MER bits, loads
  // program memory (STARTED = 0, catalogue initial values, then `inputs`), attaches the logger
  // when given, starts at the next slow tick. Fails, changing nothing, without registers, for an
  // unknown program, an input the program lacks or a logged variable the drive lacks.
  Status Launch(std::string_view program, const std::map<std::string, double, std::less<>>& inputs,
                const std::optional<LoggerSettings>& logger = std::nullopt);
  // Launches a program object under a descriptor that the caller keeps alive while it is loaded:
  // for programs assembled outside the catalogue. The same steps and checks as Launch.
  Status LaunchProgram(const ProgramDescriptor& descriptor, std::unique_ptr<programs::Program> program,
                       const std::map<std::string, double, std::less<>>& inputs,
                       const std::optional<LoggerSettings>& logger = std::nullopt);
  const std::string& LoadedProgram() const;                // full name of the loaded program, or empty
  const ProgramDescriptor* LoadedProgramDescriptor() const;  // as it was launched; null before any launch
  bool ProgramRunning() const;                             // loaded and not yet ended
  void StopProgram();                                      // the host's stop: ramp down, then end

  bool AxisOn() const;                                     // power stage switching
  void SwitchAxisOff();                                    // all legs open at once

  std::uint16_t Mer() const;                               // the error register MER
  void ClearLatchedErrors();                               // latched MER bits to 0 (level bits follow their inputs)
  void Reset();                                            // ResetActiveBoard: stop, axis off, clear latched bits

  Status ExecuteCommand(std::string_view command);         // command string such as "!CAP;ENCAPI1;"

  static int FittingPoints(const LoggerSettings& settings, int bufferWords,
                           const std::vector<int>& wordsPerVariable);  // CorrectPointsNo
  int WordsOf(std::string_view variable) const;            // 1 or 2 (int32); 0: no such variable
  std::vector<LogPoint> UploadLog() const;                 // points logged by the last launch so far

  std::vector<UnsolicitedMessage> TakeUnsolicitedMessages();  // messages produced up to now, then cleared

  // The scope (scope.cpp). Arming checks the settings (every channel a drive variable, the
  // periods, the window and the trigger) and fails, changing nothing, naming what is wrong.
  Status CheckScopeSettings(const ScopeSettings& settings) const;
  Status ArmScope(const ScopeSettings& settings);          // restarts the capture from sample 0
  void DisarmScope();                                      // stops; samples not yet sent are dropped
  bool ScopeRunning() const;                               // armed and not stopped by a full single window

  // The scripted user, acting at the present simulated time.
  void SetEnableInput(bool active);                        // ENABLE at (true) or away from its active level
  void SetLimitInputs(bool positive, bool negative);       // LSP, LSN at their active level
  // Electrical levels (true = high) of ENABLE, LSP and LSN, made active or not by the active
  // levels of the loaded DIGIN_ACTIVE_LEVEL (bits 15, 13, 14; 1 = active high).
  void SetDigitalInputLevels(bool enableHigh, bool positiveHigh, bool negativeHigh);
  void SetAnalogInput_V(double volts);                     // potentiometer
  void HandTurn(double delta, double duration_s);          // hand turns the shaft by delta (rad or m)
  void HandHold();                                         // hand blocks the shaft where it is
  void HandRelease();                                      // hand lets go

  // More of the scripted user (scripted_user.cpp). Each setter that can fail changes nothing then.
  enum class DigitalInput { enable, positive_limit, negative_limit };
  // One input's electrical level (true = high); whether that is active follows DIGIN_ACTIVE_LEVEL,
  // also when the registers are loaded later.
  void SetDigitalInputLevel(DigitalInput input, bool high);
  // A limit switch that the load reaches: LSP active at or beyond the load position (rad or m),
  // LSN at or below it; nullopt removes the switch. Fails for ENABLE.
  Status SetLimitSwitchPosition(DigitalInput input, std::optional<double> loadPosition);
  // The potentiometer at from_V now, then turned evenly to to_V over duration_s.
  Status RampAnalogInput_V(double from_V, double to_V, double duration_s);
  Status SetHandCoupling(double stiffness, double damping);  // k_h, b_h from now on (N·m/rad, N·m·s/rad or N/m, N·s/m)
  void MarkShaft();                                        // a mark on the shaft at its present position
  double ShaftTurnedSinceMark() const;                     // true angle (rad) or travel (m) since the mark
  // The environment, overriding the motor file from now on.
  Status SetSupply_V(double volts);
  Status SetLoadTorque(double torque);                     // constant load torque (N·m) or force (N), load side
  Status SetLoadGravity(double torque);                    // T_g of the load's gravity term, load side
  Status SetFriction(double coulomb, std::optional<double> breakaway);  // T_c; T_s (default T_c) ≥ T_c
  Status SetMotorTemperature_C(double celsius);           // the winding, as its sensor reads it
  Status SetDriveTemperature_C(double celsius);           // the heatsink
  double MotorTemperature_C() const;                       // the scenario's, 25 °C until set
  void SetShortCircuit(std::optional<ShortCircuitFault> fault);  // injects (or clears) a short from now on
  // Injected faults (faults.cpp): an entry as ApplyFaultEntry reads it, acting from now on.
  // Program faults act at the next launch.
  Status InjectFault(std::string_view entry);
  Status ClearFault(std::string_view name);              // every fault of that name ("clear short")
  const Faults& InjectedFaults() const;
  // The program as this drive holds it (InstalledProgram under the injected faults).
  std::optional<ProgramDescriptor> Program(std::string_view name) const;
  // Whether an output of the loaded program has no value: a fault keeps the program from writing it.
  bool ProgramValueMissing(std::string_view name) const;
  // What the sin/cos or resolver signals read from now on, relative to their nominal amplitude.
  void SetSensorSignalAmplitude(double relative);
  double ShaftPosition() const;                            // true motor angle (rad) or position (m)
  double ShaftSpeed() const;                               // true motor speed (rad/s or m/s)
  double ResolverDemodulationPhase_rad() const;            // the motor resolver's R/D converter's
  std::array<double, 3> PhaseCurrents_A() const;           // true motor phase currents a, b, c

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace drivesim
