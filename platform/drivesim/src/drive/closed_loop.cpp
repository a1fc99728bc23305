// The drive's closed loops and its commutation: which angle source the setup selects, COMMUTATE,
// the outer loops (speed, position) and the register current loop on the commutation angle.
#include <array>
#include <optional>

#include "drive/drive_impl.h"

namespace drivesim {

namespace {

using control::AngleSourceKind;

constexpr std::int32_t kStartMethodMask = 0x1C;   // OSR bits 2–4
constexpr std::int32_t kHallStartMethod = 8;
constexpr std::int32_t kSinusoidalCommutation = 1 << 13;   // SCR bit 13; clear: trapezoidal

// Block commutation, sector σ = 0 … 5: B+C−, B+A−, C+A−, C+B−, A+B−, A+C− (legs 0, 1, 2 = A, B, C).
constexpr std::array<std::size_t, 6> kPositiveLeg{1, 1, 2, 2, 0, 0};
constexpr std::array<std::size_t, 6> kNegativeLeg{2, 0, 0, 1, 1, 2};

}  // namespace

void Drive::Impl::RefreshServoRegisters() {
  control::AngleRegisters& r = angleRegisters;
  r.enc2thl = Register("ENC2THL", 0);
  r.zaoff = Register("ZAOFF", driveVariables[drive::DriveVar::ZAOFF]);
  r.mecresl = Register("MECRESL", 0);
  r.hall30 = Register("HALL30", 0);
  r.hallCase = Register("HALLCASE", 2);
  r.ssiBits = Register("SSIREV", 0);
  const int elres = Register("ELRES_FRACT", driveVariables[drive::DriveVar::ELRES_FRACT]);
  r.interpolationShift = motor.motor_sensor.type == SensorType::sincos ? options.sincos_fract - elres : 0;
  const std::int32_t midScale = static_cast<std::int32_t>(hardware.AdcMax() / 2);
  const std::int32_t alpha = driveVariables[drive::DriveVar::ALPHA];
  const control::LinearHallCalibration calibration{
      {Register("HALLAOFF", midScale), Register("HALLBOFF", midScale), Register("HALLCOFF", midScale)},
      {Register("HALLAGAIN", 32767), Register("HALLBGAIN", 32767), Register("HALLCGAIN", 32767)},
      Register("ALPHA", alpha != 0 ? alpha : 21845)};
  // A new calibration moves the angle, not the shaft: the linear Hall counter goes on from where it stands.
  if (!(calibration == r.linearHalls)) linearHallTrack.started = false;
  r.linearHalls = calibration;

  const auto errmaxl = registers.find("ERRMAXL");
  motionLimits.positionError = errmaxl != registers.end() ? errmaxl->second : Register("ERRMAX", 0);
  motionLimits.positionSamples = Register("TERRMAX", 65535);
  motionLimits.speedError = Register("SERRMAX", 0);
  motionLimits.speedSamples = Register("TSERRMAX", 65535);
  if (!servo) return;
  servo->SetGains(speedGains, positionGains);
  servo->SetFilters(biquads);
}

// The angle source of the motor sensor. Absolute sensors (linear Halls, SSI/BiSS, resolver) are
// their own source; an encoder or sin/cos takes the offset of the alignment, or with the Hall
// start method (OSR code 8) the Halls: sinusoidal with the encoder from the Hall sector when ACR
// bit 15 is set, else block commutation on the Halls alone. Halls without an encoder commutate
// by blocks. The setup decides: Halls that it names but the motor lacks read 7 (pull-ups).
void Drive::Impl::Commutate() {
  RefreshServoRegisters();
  const bool hallStart = (Register("OSR", 0) & kStartMethodMask) == kHallStartMethod;
  const bool sinusoidalHallStart = (Register("ACR", 0) >> 15 & 1) != 0;
  commutation = {};
  // A drive without SCR commutates sinusoidally.
  commutation.trapezoidal = (Register("SCR", kSinusoidalCommutation) & kSinusoidalCommutation) == 0;
  switch (motor.motor_sensor.type) {
    case SensorType::linear_hall: commutation.kind = AngleSourceKind::linearHalls; break;
    case SensorType::ssi:
    case SensorType::biss: commutation.kind = AngleSourceKind::absolute; break;
    case SensorType::resolver: commutation.kind = AngleSourceKind::resolver; break;
    case SensorType::none: commutation.kind = AngleSourceKind::hallBlocks; break;
    default:
      commutation.kind = !hallStart ? AngleSourceKind::incremental
                                    : (sinusoidalHallStart ? AngleSourceKind::hallStart : AngleSourceKind::hallBlocks);
      break;
  }
  const std::int32_t counter = MotorCounter();
  const std::optional<int> sector = control::HallSector(HallInputs(), angleRegisters.hallCase);
  commutation.sector = sector.value_or(-1);
  const std::int32_t angle = commutation.kind == AngleSourceKind::hallStart && sector
                                 ? control::HallSectorCentre16(*sector, angleRegisters.hall30)
                                 : 0;
  commutation.offset32 = control::IncrementalOffset32(counter, angle, angleRegisters);
  UpdateCommutationAngle();
}

void Drive::Impl::KeepCommutationAngle(std::int32_t angle16) {
  commutation = {};
  commutation.kind = AngleSourceKind::incremental;
  commutation.trapezoidal = (Register("SCR", kSinusoidalCommutation) & kSinusoidalCommutation) == 0;
  commutation.offset32 = EncoderOffset32(angle16);
  UpdateCommutationAngle();
}

void Drive::Impl::UpdateCommutationAngle() {
  const control::AngleRegisters& r = angleRegisters;
  Commutation& c = commutation;
  const std::int32_t counter = MotorCounter();
  const bool hallSource = c.kind == AngleSourceKind::hallStart || c.kind == AngleSourceKind::hallBlocks;
  const std::optional<int> sector = hallSource ? control::HallSector(HallInputs(), r.hallCase) : std::nullopt;
  switch (c.kind) {
    case AngleSourceKind::incremental: c.angle16 = control::IncrementalAngle16(c.offset32, counter, r); return;
    case AngleSourceKind::hallStart:
      // The first edge gives the true angle: 60°·σ ± 30° + δ.
      if (sector && c.sector >= 0 && *sector != c.sector && !c.edgeSeen) {
        c.offset32 = control::IncrementalOffset32(counter, control::HallEdge16(c.sector, *sector, r.hall30), r);
        c.edgeSeen = true;
      }
      if (sector) c.sector = *sector;
      c.angle16 = control::IncrementalAngle16(c.offset32, counter, r);
      return;
    case AngleSourceKind::hallBlocks:
      if (sector) c.sector = *sector;
      c.angle16 = c.sector >= 0 ? control::HallSectorCentre16(c.sector, r.hall30) : 0;
      return;
    case AngleSourceKind::linearHalls:
      c.angle16 = control::WrapAngle16(control::LinearHallAngle16(linearHallCounts, r.linearHalls) - r.zaoff);
      return;
    case AngleSourceKind::absolute: c.angle16 = control::AbsoluteAngle16(counter, r); return;
    case AngleSourceKind::resolver: c.angle16 = control::ResolverAngle16(counter, r); return;
  }
}

// Speed from the motor sensor, position from the load sensor when the axis has one.
control::ServoFeedback Drive::Impl::ServoCounters() const {
  const std::int32_t motorCounter = MotorCounter();
  return {motorCounter, motor.load_sensor ? Counter(options.load_sensor_connector) : motorCounter};
}

control::Servo& Drive::Impl::EngageServo(const control::ServoConfig& config) {
  control::ServoConfig settled = config;
  if (!settled.cascade) settled.cascade = (Register("ACR", 0) >> 9 & 1) != 0;
  servo.emplace(settled, speedGains, positionGains, biquads, ServoCounters());
  servoCurrentLoop = {};
  positionErrorRun = 0;
  speedErrorRun = 0;
  quickStopTicks = -1;
  driveVariables[drive::DriveVar::Target_Position] = servo->TargetPosition();
  driveVariables[drive::DriveVar::Load_Position] = servo->Position();
  return *servo;
}

void Drive::Impl::ServoOuterStep() {
  servo->Step(ServoCounters());
  driveVariables[drive::DriveVar::Speed_Reference] =
      static_cast<std::int32_t>((servo->SpeedReference16() + 0x8000) >> 16);
  driveVariables[drive::DriveVar::Load_Speed] = servo->Speed();
  driveVariables[drive::DriveVar::Target_Position] = servo->TargetPosition();
  driveVariables[drive::DriveVar::Load_Position] = servo->Position();
}

// The sector of block commutation: the Halls' alone, or with SCR bit 13 clear the sector whose
// centre 60°·σ lies nearest to the commutation angle (sector σ drives its current at 60°·σ + 90°,
// the q axis of that angle); none for sinusoidal commutation, −1 before the Halls show a valid code.
std::optional<int> Drive::Impl::BlockSector() const {
  if (commutation.kind == AngleSourceKind::hallBlocks) return commutation.sector;
  if (!commutation.trapezoidal) return std::nullopt;
  const auto shifted = static_cast<std::uint32_t>(commutation.angle16 + 65536 / 12) & 0xFFFFu;
  return static_cast<int>(shifted * 6u / 65536u);
}

// Every Ts_C while a servo is engaged and the axis is on:
//   θ_e16 from the angle source; [UPGRADE bit 6] the outer loops;
//   i_ref = the outer loops' reference (0 during a quick stop);
//   sinusoidal: u_dq = current loop(i_ref on q, i_dq at θ_e16) → modulator at θ_e16;
//   blocks:     u = current loop(i_ref, current of the conducting pair) → the sector's two legs.
void Drive::Impl::ServoCurrentStep() {
  if (!servo || !stage.driven) return;
  if (commutation.kind == AngleSourceKind::linearHalls) SampleLinearHalls();
  UpdateCommutationAngle();
  if (OuterLoopsInFastIsr()) ServoOuterStep();
  const bool stopping = QuickStopStep();
  if (!servo) return;  // the quick stop has ended with the axis off
  const std::int32_t reference = stopping ? 0 : control::SaturateInt16(servo->CurrentReference());
  driveVariables[drive::DriveVar::Current_Reference] = reference;
  const std::int32_t angle = commutation.angle16;
  if (const std::optional<int> sector = BlockSector()) {
    if (*sector < 0) return;  // no valid Hall code yet: the legs stay at zero voltage
    const auto s = static_cast<std::size_t>(*sector);
    const std::array<std::int32_t, 3> leg{phaseCurrentCounts[0], phaseCurrentCounts[1],
                                          -phaseCurrentCounts[0] - phaseCurrentCounts[1]};
    const control::TwoAxis u = control::StepCurrentLoop(gains, servoCurrentLoop, {0, reference}, {0, leg[kPositiveLeg[s]]});
    driveVariables[drive::DriveVar::Voltage_Reference] = u.y;
    ApplyBlockVoltage(*sector, u.y);
    return;
  }
  const control::TwoAxis u = control::StepCurrentLoop(gains, servoCurrentLoop, {0, reference}, MeasuredCurrent(angle));
  driveVariables[drive::DriveVar::Voltage_Reference] = u.y;
  ApplyRegulatedVoltage(angle, u, {0, reference});
}

// Trapezoidal scale: u = 32767 puts the whole bus across the pair, d± = 0.5 ± u/65534.
void Drive::Impl::ApplyBlockVoltage(int sector, std::int32_t voltage) {
  const auto s = static_cast<std::size_t>(sector);
  const double half = voltage / 65534.0;
  appliedVoltage = {};
  pendingDuty = {0.5, 0.5, 0.5};
  pendingDuty[kPositiveLeg[s]] = 0.5 + half;
  pendingDuty[kNegativeLeg[s]] = 0.5 - half;
  pendingLegOpen = {true, true, true};
  pendingLegOpen[kPositiveLeg[s]] = false;
  pendingLegOpen[kNegativeLeg[s]] = false;
}

}  // namespace drivesim
