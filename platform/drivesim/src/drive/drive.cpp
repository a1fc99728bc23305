// Drive's members: construction, registers, launches, axis, errors, commands, logger and the
// scripted user. The tick itself is in scheduler.cpp, the variable lookups in variables.cpp.
#include "drivesim/drive.h"

#include <algorithm>
#include <cmath>

#include "drive/drive_impl.h"
#include "programs/frame_program.h"

namespace drivesim {

namespace {

constexpr double kSqrt3 = 1.7320508075688772;
constexpr int kCalibrationSamples = 16;

model::AdcChannel CurrentChannel(const DriveHardware& hw, const MotorModel& motor, const Scenario& scenario) {
  model::AdcChannel adc;
  const double adcMax = hw.AdcMax();
  adc.countsPerUnit = adcMax / (2.0 * hw.imax_ps_A);
  adc.step = hw.AdcStep();
  adc.lo = -static_cast<std::int32_t>(hw.AdcMax() / 2);
  adc.hi = static_cast<std::int32_t>(hw.AdcMax() / 2);
  adc.noiseSteps = scenario.current_noise ? motor.current_noise_lsb : 0.0;
  adc.ideal = scenario.ideal_converters;
  return adc;
}

model::AdcChannel BusChannel(const DriveHardware& hw, const Scenario& scenario) {
  model::AdcChannel adc;
  adc.countsPerUnit = hw.AdcMax() / hw.vdc_max_measurable_V;
  adc.step = hw.AdcStep();
  adc.lo = 0;
  adc.hi = static_cast<std::int32_t>(hw.AdcMax());
  adc.noiseSteps = hw.adc_noise_lsb;
  adc.ideal = scenario.ideal_converters;
  return adc;
}

// PWM dead time from the downloaded registers: none without DBT; 1 µs for DBT = 0; otherwise
// max(DBT bits 8–15, DBT bits 0–7)·p/f_clk with p = DBTPC/100, or 0.5 without DBTPC.
double DeadTime_s(const RegisterValues& registers, double clock_Hz) {
  const auto dbt = registers.find("DBT");
  if (dbt == registers.end()) return 0.0;
  if (dbt->second == 0) return 1e-6;
  const auto pc = registers.find("DBTPC");
  const double share = pc == registers.end() ? 0.5 : pc->second / 100.0;
  const std::int32_t ticks = std::max((dbt->second >> 8) & 0xFF, dbt->second & 0xFF);
  return ticks * share / clock_Hz;
}

}  // namespace

Drive::Impl::Impl(DriveHardware hw, MotorModel m, Scenario s)
    : hardware(std::move(hw)),
      motor(std::move(m)),
      scenario(std::move(s)),
      plantParams(model::PlantParams::From(motor)),
      noise(scenario.seed.value_or(motor.noise_seed)) {
  timing.clock_Hz = hardware.timer_clock_Hz;
  stageParams.supply_V = motor.supply_voltage_V;
  stageParams.supplyResistance_ohm = hardware.supply_resistance_ohm;
  stageParams.quantiseDuty = !scenario.ideal_converters;
  stageParams.pwmPeriodTicks = timing.pwmPeriodTicks;
  stageParams.pwmPeriod_s = timing.pwm_s();
  stage.bus_V = motor.supply_voltage_V;
  busParams = {hardware.bus_capacitor_F, hardware.supply_diode, hardware.brake_resistor_ohm};
  for (auto& adc : currentAdc) adc = CurrentChannel(hardware, motor, scenario);
  busAdc = BusChannel(hardware, scenario);
  WireSensors();
  linearHallAdc = sensors::VoltageChannel({0.0, 5.0}, hardware.AdcMax(), hardware.AdcStep(), hardware.adc_noise_lsb,
                                          scenario.ideal_converters);
  enableActive = scenario.enable_input_active;
  positiveLimit = scenario.positive_limit_active;
  negativeLimit = scenario.negative_limit_active;
  potentiometer = {scenario.analog_input_V, scenario.analog_input_V, 0.0, 0.0};
  driveVariables[drive::DriveVar::THTST] = programs::kRestAngle;
  if (motor.halls) hallCode = sensors::UpdateHalls(*motor.halls, hallState, 0.0);
  ApplyPlantFaults();
  ConfigureReferenceInput();
  RefreshServoRegisters();
  SampleSlowChannels();
}

// Channels without a sensor read 0 V (the linear Hall inputs of a motor without linear Halls).
void Drive::Impl::SampleSlowChannels() {
  const double bottom_V = sensors::AnalogueInputSpan(options.analogue_inputs_range_V).bottom_V;
  slowSampled_s = timing.TimeOf(tick);
  referenceCounts = referenceAdc.Sample(potentiometer.At(slowSampled_s) - bottom_V, noise);
  SampleLinearHalls();
  busCounts = busAdc.Sample(stage.bus_V, noise);
  driveVariables[drive::DriveVar::var_u2] = busCounts;
}

void Drive::Impl::SampleLinearHalls() {
  if (motor.motor_sensor.type != SensorType::linear_hall) return;
  std::array<double, 3> hall_V =
      sensors::LinearHallVoltages(plant.ElectricalAngle(plantParams), motor.motor_sensor.reversed);
  ApplyLinearHallFaults(hall_V);
  for (std::size_t x = 0; x < 3; ++x) linearHallCounts[x] = linearHallAdc.Sample(hall_V[x], noise);
  UpdateLinearHallCounter();
}

void Drive::Impl::ConfigureReferenceInput() {
  referenceAdc = sensors::VoltageChannel(sensors::AnalogueInputSpan(options.analogue_inputs_range_V),
                                         hardware.AdcMax(), hardware.AdcStep(), hardware.adc_noise_lsb,
                                         scenario.ideal_converters);
}

// The ADC offsets are measured with the PWM off (mean of 16 samples) before the legs switch.
void Drive::Impl::CalibrateCurrentOffsets(int samples) {
  for (std::size_t x = 0; x < 2; ++x) {
    double sum = 0.0;
    for (int k = 0; k < samples; ++k) {
      sum += currentAdc[x].Sample(model::LegCurrent(plantParams, plant, static_cast<int>(x)), noise);
    }
    adcCalibration[x] = static_cast<std::int32_t>(std::lround(sum / samples));
  }
}

void Drive::Impl::SwitchAxisOn() {
  CalibrateCurrentOffsets(kCalibrationSamples);
  stage.driven = true;
  stage.duty = {0.5, 0.5, 0.5};
  stage.carry = {0.0, 0.0, 0.0};
  pendingDuty = stage.duty;
  pendingLegOpen = legOpen = {};
  appliedVoltage = {};
}

void Drive::Impl::SwitchAxisOff() {
  stage.driven = false;
  pendingDuty = {0.5, 0.5, 0.5};
  pendingLegOpen = legOpen = {};
  appliedVoltage = {};
  servo.reset();
  quickStopTicks = -1;
}

// Sinusoidal modulator: dq → αβ at the frame angle → phase references u_x; min-max injection
// u_cm = (max + min)/2; d_x = 0.5 + 0.55·(u_x − u_cm)/32767.
void Drive::Impl::ApplyVoltage(std::int32_t angle16, control::TwoAxis dq) {
  // A program holding its voltage applies the same command at every fast tick: the duties stand.
  const AppliedVoltage command{true, angle16, dq.x, dq.y};
  if (command == appliedVoltage) return;
  appliedVoltage = command;
  const control::TwoAxis ab = control::InversePark(dq, control::SinCosQ15(angle16));
  const double alpha = ab.x;
  const double beta = ab.y;
  const std::array<double, 3> u{alpha, -0.5 * alpha + 0.5 * kSqrt3 * beta, -0.5 * alpha - 0.5 * kSqrt3 * beta};
  const double common = 0.5 * (std::max({u[0], u[1], u[2]}) + std::min({u[0], u[1], u[2]}));
  constexpr double kDutyPerUnit = 0.55 / 32767.0;
  for (std::size_t x = 0; x < 3; ++x) pendingDuty[x] = 0.5 + kDutyPerUnit * (u[x] - common);
  pendingLegOpen = {};
}

// The register current loop's output with the drive's dead-time compensation: per leg the duty
// that restores the loss expected at the reference current (the programmed dead time, the
// measured bus, the ripple knee of the motor inductance). The duty computed now acts over the
// next control period, while the loop drives the current towards the reference; the reference
// is free of noise and leads the current, whereas the sampled current lags the period in which
// the duty acts by one and a half periods and would leave a step uncompensated while it rises.
void Drive::Impl::ApplyRegulatedVoltage(std::int32_t angle16, control::TwoAxis dq, control::TwoAxis currentReference) {
  ApplyVoltage(angle16, dq);
  if (programmedDeadTime_s <= 0.0) return;
  const control::TwoAxis ab = control::InversePark(currentReference, control::SinCosQ15(angle16));
  const double amperesPerCount = 1.0 / currentAdc[0].countsPerUnit;
  const double a_A = ab.x * amperesPerCount;
  const double b_A = (-0.5 * ab.x + 0.5 * kSqrt3 * ab.y) * amperesPerCount;
  const std::array<double, 3> extra =
      model::DeadTimeCompensation(programmedDeadTime_s, stageParams.pwmPeriod_s, busCounts / busAdc.countsPerUnit,
                                  plantParams.inductance_H, {a_A, b_A, -a_A - b_A});
  for (std::size_t x = 0; x < 3; ++x) pendingDuty[x] += extra[x];
  appliedVoltage = {};  // the duties are no longer those of the plain command
}

Drive::Drive(DriveHardware hardware, MotorModel motor, Scenario scenario)
    : impl_(std::make_unique<Impl>(std::move(hardware), std::move(motor), std::move(scenario))) {}
Drive::~Drive() = default;
Drive::Drive(Drive&&) noexcept = default;
Drive& Drive::operator=(Drive&&) noexcept = default;

double Drive::Now_s() const { return impl_->timing.TimeOf(impl_->tick); }
void Drive::RunUntil(double t_s) { impl_->RunUntil(t_s); }
const DriveHardware& Drive::Hardware() const { return impl_->hardware; }
const MotorModel& Drive::Motor() const { return impl_->motor; }
double Drive::LinkLatency_s() const { return impl_->hardware.link_latency_s; }

Status Drive::LoadRegisters(const RegisterValues& registers) {
  const auto get = [&](const char* name, std::int32_t fallback) {
    const auto it = registers.find(name);
    return it == registers.end() ? fallback : it->second;
  };
  drive::Timing timing = impl_->timing;
  timing.pwmPeriodTicks = get("PWMPER", 0);
  timing.currentLoopTicks = get("CLPER", 0);
  timing.speedLoopTicks = get("SLPER", 0);
  if (timing.pwmPeriodTicks <= 0) return {"register PWMPER must be positive"};
  if (timing.currentLoopTicks <= 0) return {"register CLPER must be positive"};
  if (timing.speedLoopTicks <= 0) return {"register SLPER must be positive"};
  if (impl_->hardware.link_latency_s < 2.0 * timing.currentLoop_s()) {
    return {"link latency " + std::to_string(impl_->hardware.link_latency_s) +
            " s is shorter than two current-loop periods (" + std::to_string(2.0 * timing.currentLoop_s()) + " s)"};
  }
  // A new grid starts at the present time; the present tick is the first of it.
  timing.base_s = Now_s();
  impl_->tick = 0;
  impl_->timing = timing;
  impl_->registers = registers;
  impl_->registersLoaded = true;
  impl_->RefreshRegisterCache();
  impl_->stageParams.pwmPeriodTicks = timing.pwmPeriodTicks;
  impl_->stageParams.pwmPeriod_s = timing.pwm_s();
  impl_->programmedDeadTime_s = DeadTime_s(registers, timing.clock_Hz);
  impl_->stageParams.deadTime_s = impl_->programmedDeadTime_s + impl_->hardware.switch_delay_s;
  return {};
}

Status Drive::WriteRegister(std::string_view name, std::int32_t value) {
  const auto it = impl_->registers.find(name);
  if (it == impl_->registers.end()) return {"the drive has no register " + std::string(name)};
  it->second = value;
  impl_->RefreshRegisterCache();
  return {};
}

std::optional<std::int32_t> Drive::ReadRegister(std::string_view name) const {
  const auto it = impl_->registers.find(name);
  if (it == impl_->registers.end()) return std::nullopt;
  return it->second;
}

std::optional<std::int32_t> Drive::ReadVariable(std::string_view name) const { return impl_->Read(name); }
bool Drive::HasVariable(std::string_view name) const { return impl_->Read(name).has_value(); }
bool Drive::WriteVariable(std::string_view name, double internal) { return impl_->Write(name, internal); }

Status Drive::Launch(std::string_view programName, const std::map<std::string, double, std::less<>>& inputs,
                     const std::optional<LoggerSettings>& logger) {
  const std::optional<ProgramDescriptor> installed = Program(programName);
  if (!installed) return {"the drive has no program " + std::string(programName)};
  std::unique_ptr<programs::Program> program = programs::CreateProgram(*installed);
  if (!program) return {"program " + installed->name + " cannot run on this drive"};
  return LaunchProgram(*installed, std::move(program), inputs, logger);
}

Status Drive::LaunchProgram(const ProgramDescriptor& programDescriptor, std::unique_ptr<programs::Program> program,
                            const std::map<std::string, double, std::less<>>& inputs,
                            const std::optional<LoggerSettings>& logger) {
  Impl& d = *impl_;
  const ProgramDescriptor* descriptor = &programDescriptor;
  if (!d.registersLoaded) return {"the registers must be loaded before " + descriptor->name + " is launched"};
  for (const auto& input : inputs) {
    const std::string& name = input.first;
    const bool known = std::any_of(descriptor->variables.begin(), descriptor->variables.end(),
                                   [&](const ProgramVariable& v) { return v.name == name; });
    if (!known) return {"program " + descriptor->name + " has no variable " + name};
  }
  if (logger) {
    for (const std::string& name : logger->variables) {
      const bool inProgram = std::any_of(descriptor->variables.begin(), descriptor->variables.end(),
                                         [&](const ProgramVariable& v) { return v.name == name; });
      if (!inProgram && !d.LiveValue(name) && !drive::FindDriveVar(name) && !d.registers.count(name)) {
        return {"the drive has no variable " + name + " to log"};
      }
    }
  }
  // Nothing has changed so far; from here on the launch succeeds.
  d.program.reset();
  d.SwitchAxisOff();
  d.ClearLatched();
  d.loadedDescriptor = programDescriptor;
  d.descriptor = &d.loadedDescriptor;
  d.loadedName = descriptor->name;
  d.programMemory.clear();
  for (const ProgramVariable& v : descriptor->variables) d.programMemory[v.name] = v.initial;
  for (const auto& [name, value] : inputs) d.Write(name, value);
  d.programMemory["STARTED"] = 0;
  d.logger.Detach();
  if (logger) {
    std::vector<int> words;
    for (const std::string& name : logger->variables) words.push_back(std::max(1, WordsOf(name)));
    d.logger.Attach(*logger, FittingPoints(*logger, d.hardware.log_buffer_words, words));
    d.ResolveLoggedValues();
  }
  d.program = std::move(program);
  if (logger && !d.program->TriggersLog()) d.logger.Trigger(d.tick);
  return {};
}

const std::string& Drive::LoadedProgram() const { return impl_->loadedName; }
const ProgramDescriptor* Drive::LoadedProgramDescriptor() const { return impl_->descriptor; }
bool Drive::ProgramRunning() const { return impl_->program != nullptr; }

void Drive::StopProgram() {
  if (impl_->program) impl_->program->HostStop(*impl_);
  if (impl_->program && impl_->program->Ended()) impl_->program.reset();
}

bool Drive::AxisOn() const { return impl_->stage.driven; }
void Drive::SwitchAxisOff() { impl_->SwitchAxisOff(); }

std::uint16_t Drive::Mer() const { return static_cast<std::uint16_t>(impl_->LiveValue("MER").value_or(0)); }
void Drive::ClearLatchedErrors() { impl_->ClearLatched(); }

void Drive::Reset() {
  impl_->program.reset();
  impl_->SwitchAxisOff();
  impl_->ClearLatched();
}

// Commands: "!CAP;ENCAPI1;" arms the index capture of feedback input 0 into CAPPOS (cleared to 0
// on arming); "!CAP;EN2CAPI1;" that of input 1 into CAPPOS2.
Status Drive::ExecuteCommand(std::string_view command) {
  const auto arm = [this](std::size_t input) {
    impl_->feedback[input].encoder.captureArmed = true;
    impl_->feedback[input].encoder.capture = 0;
    return Status{};
  };
  if (command == "!CAP;ENCAPI1;") return arm(0);
  if (command == "!CAP;EN2CAPI1;") return arm(1);
  return {"unknown drive command \"" + std::string(command) + "\""};
}

int Drive::FittingPoints(const LoggerSettings& settings, int bufferWords, const std::vector<int>& wordsPerVariable) {
  int words = 0;
  for (int w : wordsPerVariable) words += w;
  if (words <= 0) return std::max(0, settings.points);
  return std::clamp(settings.points, 0, bufferWords / words);
}

int Drive::WordsOf(std::string_view variable) const {
  if (const ProgramVariable* v = impl_->ProgramVariableOf(variable)) return v->size_words;
  if (!impl_->Read(variable)) return 0;
  if (const auto v = drive::FindDriveVar(variable)) return drive::IsOneWord(*v) ? 1 : 2;
  const bool oneWord = variable == "HALL" || variable == "MER" || variable == "AD3" || variable == "AD5" ||
                       variable == "AD6" || variable == "AD8" || variable == "AD9";
  return oneWord ? 1 : 2;
}

std::vector<LogPoint> Drive::UploadLog() const { return impl_->logger.LoggedPoints(); }

std::vector<UnsolicitedMessage> Drive::TakeUnsolicitedMessages() {
  std::vector<UnsolicitedMessage> messages(impl_->unsolicited.begin(), impl_->unsolicited.end());
  impl_->unsolicited.clear();
  return messages;
}

void Drive::SetEnableInput(bool active) {
  impl_->enableActive = active;
  impl_->inputLevel[0].reset();
}
void Drive::SetLimitInputs(bool positive, bool negative) {
  impl_->positiveLimit = positive;
  impl_->negativeLimit = negative;
  impl_->inputLevel[1].reset();
  impl_->inputLevel[2].reset();
}
Status Drive::SetLimitSwitchPosition(DigitalInput input, std::optional<double> loadPosition) {
  if (input == DigitalInput::enable) return {"ENABLE is not a limit switch"};
  (input == DigitalInput::positive_limit ? impl_->scenario.positive_limit_at : impl_->scenario.negative_limit_at) =
      loadPosition;
  return {};
}
void Drive::SetDigitalInputLevels(bool enableHigh, bool positiveHigh, bool negativeHigh) {
  impl_->inputLevel = {enableHigh, positiveHigh, negativeHigh};
  impl_->ApplyInputLevels();
}

void Drive::SetAnalogInput_V(double volts) {
  impl_->potentiometer = {volts, volts, Now_s(), 0.0};
  impl_->SampleSlowChannels();
}
void Drive::HandTurn(double delta, double duration_s) {
  impl_->hand.Turn(impl_->plant.position, delta, Now_s(), duration_s, impl_->plantParams.inertia);
}
void Drive::HandHold() { impl_->hand.Hold(impl_->plant.position, Now_s(), impl_->plantParams.inertia); }
void Drive::HandRelease() { impl_->hand.Release(); }
void Drive::SetShortCircuit(std::optional<ShortCircuitFault> fault) { impl_->scenario.short_circuit = fault; }
double Drive::ShaftPosition() const { return impl_->plant.position; }
double Drive::ShaftSpeed() const { return impl_->plant.speed; }
double Drive::ResolverDemodulationPhase_rad() const {
  return impl_->decode[static_cast<std::size_t>(impl_->options.motor_sensor_connector)].demodulationPhase_rad;
}
std::array<double, 3> Drive::PhaseCurrents_A() const { return impl_->plant.current_A; }

}  // namespace drivesim
