// The reference drive and motor of the simulator's tests: 40 MHz timer, 20 kHz PWM, 10 kHz
// current loop, 1 kHz speed loop, 10-bit ADC, 10 A power stage, 48 V supply; rotary PMSM with
// 4 pole pairs, 0.9 Ω, 1.2 mH, 0.12 N·m/A, 2000 lines.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "drivesim/drive.h"

namespace drivesim::testing {

inline DriveHardware ReferenceHardware() {
  DriveHardware hw;  // the defaults are the reference drive
  return hw;
}

inline MotorModel ReferenceMotor() {
  MotorModel m;
  m.name = "reference";
  m.pole_pairs = 4;
  m.resistance_ohm = 0.9;
  m.inductance_H = 0.0012;
  m.torque_constant = 0.12;
  m.rotor_inertia = 3.3e-5;
  m.load_inertia = 6.7e-5;
  m.coulomb_friction = 0.002;
  m.viscous_friction = 1e-5;
  m.motor_sensor.lines = 2000;
  m.motor_sensor.index_deg = 123.4;
  return m;
}

// The registers of the reference drive, with the gains that TuneCurrentController gives for a
// 2000 rad/s passband and damping 1, and no dead time (no DBT register).
inline RegisterValues ReferenceRegisters() {
  return {{"PWMPER", 1000}, {"CLPER", 2},     {"SLPER", 20},     {"SATPWM", 2621}, {"KPI", 24226},
          {"SFTKPI", 1},    {"KII", 5963},    {"SFTKII", 0},     {"FILTERQ", 32767}, {"FFL", 0},
          {"KFFL", 32767},  {"REFTST", 2979}, {"RINCTST", 30},   {"T1ONA", 50},    {"COUNTINGDIR_MT", 0}};
}

// Runs the drive until the loaded program has ended or `limit_s` more seconds have passed.
inline void RunProgram(Drive& drive, double limit_s) {
  const double end_s = drive.Now_s() + limit_s;
  while (drive.ProgramRunning() && drive.Now_s() < end_s) drive.RunUntil(drive.Now_s() + 0.01);
}

// Runs the loaded program to its end: started, ended within `limit_s`, axis off, no error.
inline void RunToEnd(Drive& drive, double limit_s = 5.0) {
  RunProgram(drive, limit_s);
  EXPECT_FALSE(drive.ProgramRunning());
  EXPECT_FALSE(drive.AxisOn());
  EXPECT_EQ(drive.ReadVariable("STARTED"), 1);
  EXPECT_EQ(drive.Mer(), 0);
}

// A drive with the reference registers loaded, `changes` on top of them.
inline Drive LoadedDrive(MotorModel motor = ReferenceMotor(), Scenario scenario = {},
                         const RegisterValues& changes = {}, DriveHardware hardware = ReferenceHardware()) {
  Drive drive(std::move(hardware), std::move(motor), scenario);
  RegisterValues registers = ReferenceRegisters();
  for (const auto& [name, value] : changes) registers[name] = value;
  const Status loaded = drive.LoadRegisters(registers);
  EXPECT_TRUE(loaded.ok()) << loaded.error;
  return drive;
}

// Launches a program, failing the test (not aborting it) when the drive refuses.
inline void LaunchProgram(Drive& drive, std::string_view program,
                          const std::map<std::string, double, std::less<>>& inputs,
                          const std::optional<LoggerSettings>& logger = std::nullopt) {
  const Status launched = drive.Launch(program, inputs, logger);
  EXPECT_TRUE(launched.ok()) << program << ": " << launched.error;
}

// Initial_Positioning_Test with the test current In1 (4910 counts: 1.5 A).
inline void LaunchPreliminary(Drive& drive, std::int32_t in1 = 4910) {
  LaunchProgram(drive, "IE_Initial_Positioning_Test", {{"In1", in1}});
}

// Current_Controller_Tuning_Test: a 1.5 A step after 10 of 100 logged points (one per control period).
inline void LaunchCurrentStep(
    Drive& drive, std::int32_t protection = 16000,
    LoggerSettings logger = {100, 2, 1, {"Current_Reference", "Motor_Current", "Voltage_Reference"}}) {
  LaunchProgram(drive, "IE_Current_Controller_Tuning_Test",
                {{"RefTest", 3264}, {"RIncTest", 33}, {"In1", 4910}, {"Imax_Prot_Test", protection}}, logger);
}

inline constexpr double kCurrentScale = 65472.0 / 20.0;   // counts per ampere: ADCmax/(2·ImaxPS)
inline constexpr double kVoltageScale = 65534.0 / (1.1 * 48.0);  // sinusoidal units per volt at 48 V

}  // namespace drivesim::testing
