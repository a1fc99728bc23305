#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "compute/derivation_rule.h"
#include "compute/option_readers.h"
#include "compute/position_scale.h"
#include "compute/registers.h"
#include "compute/scale_functions.h"
#include "compute/setup_access.h"

namespace kestrel {
namespace {

constexpr double kTwoTo30 = 1073741824.0;
constexpr double kTwoTo32 = 4294967296.0;

bool Write(CMC_Parameter* target, double value) {
  target->SetValueInBaseUnit(value);
  return true;
}

bool IsSerialType(int sensorType) { return sensorType == 5 || sensorType == 6; }

// 2^bits counts per revolution of a serial absolute encoder; the drive counts at most 32 bits.
double SerialCounts(RuleInputs& in, const char* bits) {
  return std::pow(2.0, std::min(in.Base(bits), 32.0));
}

bool MotorSideRotary(RuleInputs& in) { return IsMotorSideRotary(in.Code("TransmissionType")); }

// Encoder lines times 4 per revolution, or pole pitch over resolution on a linear motor: the
// counts of an incremental sensor over one turn or one pole pitch.
double EncoderCounts(RuleInputs& in) {
  if (MotorSideRotary(in)) return 4.0 * in.Base("No_encoder_lines");
  return in.Base("PolePitch") / in.Base("Resolution");
}

}  // namespace

bool ComputeMECRESL(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("MECRESL");
  const int type = in.Code("MotorSensorType");
  if (!in.Complete()) return false;
  double counts = 0.0;
  if (IsSerialType(type)) {
    counts = SerialCounts(in, "SSI_No_Bits_Revolution");
  } else if (type == 2) {
    counts = in.Base("LHResolution");
  } else {
    counts = EncoderCounts(in);
  }
  return in.Complete() && Write(target, counts);
}

bool ComputeENC2THL(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ENC2THL");
  const int type = in.Code("MotorSensorType");
  const double pairs = in.Base("pp");
  if (!in.Complete()) return false;
  // Electrical angle per count, a full electrical turn being 2^32. A serial encoder's counts
  // are a power of two; an interpolated sin/cos encoder has 2^ELRES_FRACT counts per edge.
  double angle = 0.0;
  if (IsSerialType(type)) {
    angle = pairs * std::pow(2.0, 32.0 - std::min(in.Base("SSI_No_Bits_Revolution"), 32.0));
  } else if (type == 2) {
    angle = pairs * kTwoTo32 / in.Base("LHResolution");
  } else {
    // Without interpolation the factor is 1, which leaves each quotient exactly as it is.
    const CMC_Parameter* fract = type == 3 ? FindOptionalParameter(setup, "ELRES_FRACT") : nullptr;
    const double interpolation = fract != nullptr ? InterpolationFactor(fract->GetValueInBaseUnit()) : 1.0;
    if (MotorSideRotary(in)) {
      angle = pairs * kTwoTo30 / (in.Base("No_encoder_lines") * interpolation);
    } else {
      angle = in.Base("Resolution") * kTwoTo32 / (in.Base("PolePitch") * interpolation);
    }
  }
  return in.Complete() && Write(target, angle);
}

bool ComputeELRESL(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ELRESL");
  const int type = in.Code("MotorSensorType");
  if (!in.Complete()) return false;
  double counts = 0.0;
  if (IsEncoderType(type)) {
    if (MotorSideRotary(in)) {
      counts = 4.0 * in.Base("No_encoder_lines") / in.Base("pp");
    } else {
      const double interpolation = type == 3 ? InterpolationFactor(in.Base("SINCOS_fract")) : 1.0;
      counts = in.Base("PolePitch") * interpolation / in.Base("Resolution");
    }
  } else if (type == 0) {
    // Only a load sensor: its counts per electrical period of the motor.
    if (IsLoadSideRotary(in.Code("TransmissionType"))) {
      counts = 4.0 * in.Base("No_encoder_lines_LD") / in.Base("pp");
    } else {
      const double interpolation =
          in.Code("LoadSensorType") == 3 ? InterpolationFactor(in.Base("SINCOS_fract_LD")) : 1.0;
      counts = in.Base("PolePitch") * interpolation / in.Base("Resolution_LD");
    }
  } else {
    return true;  // Hall, resolver and serial sensors have no such register content
  }
  return in.Complete() && Write(target, counts);
}

bool ComputeELRES_FRACT(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ELRES_FRACT");
  CMC_Parameter* interpolation = in.Need("SINCOS_fract");
  const int type = in.Code("MotorSensorType");
  if (!in.Complete()) return false;
  if (type != 2 && type != 3) return true;
  const double counts = MotorSideRotary(in) ? 4.0 * in.Base("No_encoder_lines") / in.Base("pp")
                                            : in.Base("PolePitch") / in.Base("Resolution");
  if (!in.Complete()) return false;
  // Interpolation bits that bring one electrical period to about 2^10 counts, at most 8.
  const double bits = std::ceil(std::log2(counts));
  const double fraction = bits >= 0.0 && bits <= 9.0 ? std::min(10.0 - bits, 8.0) : 0.0;
  interpolation->SetMinInBaseUnit(fraction);
  return Write(target, fraction);
}

bool ComputeDBTTH(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("DBTTH");
  const bool onLoad = in.Code("LoadSensorType") == 2;
  const int transmission = in.Code("TransmissionType");
  const double resolution = in.Base(onLoad ? "LHResolution_LD" : "LHResolution");
  const bool rotary = onLoad ? IsLoadSideRotary(transmission) : IsMotorSideRotary(transmission);
  // Shift from Hall counts per pole pitch to 2^16 per pitch.
  const double perPitch = rotary ? resolution / in.Base("pp") : resolution;
  return in.Complete() && Write(target, 16.0 - std::log2(perPitch));
}

bool ComputeABSTART_MINMOVE(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ABSTART_MINMOVE");
  const int type = in.Code("MotorSensorType");
  const double pairs = in.Base("pp");
  if (!in.Complete()) return false;
  // Counts of the motor sensor per electrical period.
  double counts = 0.0;
  if (IsSerialType(type)) {
    counts = SerialCounts(in, "SSI_No_Bits_Revolution") / pairs;
  } else if (type == 2) {
    counts = in.Base("LHResolution") / pairs;
  } else {
    const double interpolation = type == 3 ? InterpolationFactor(in.Base("SINCOS_fract")) : 1.0;
    counts = MotorSideRotary(in) ? 4.0 * in.Base("No_encoder_lines") * interpolation / pairs
                                 : in.Base("PolePitch") * interpolation / in.Base("Resolution");
  }
  if (!in.Complete()) return false;
  const double percent = GetAbsoluteStartMinMovePercent(setup);
  return Write(target, counts / 3.0 * percent / 100.0);
}

bool ComputeCountingDirection(CMC_Setup* setup, int input) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(input == 0 ? "COUNTINGDIR_MT" : "COUNTINGDIR_LD");
  const int motorSensor = in.Code("MotorSensorType");
  const int motorInput = in.Code("MotorSensorConnector");
  const int loadSensor = in.Code("LoadSensorType");
  const int loadInput = in.Code("LoadSensorConnector");
  const bool motorHere = IsEncoderType(motorSensor) && motorInput == input;
  const bool loadHere = IsEncoderType(loadSensor) && loadInput == input;
  if (!in.Complete()) return false;
  // One counter per input: it follows the one encoder on it, and counts up when both share it.
  bool reverse = false;
  if (motorHere != loadHere) reverse = in.Code(motorHere ? "ReverseCounting_MT" : "ReverseCounting_LD") == 1;
  return in.Complete() && Write(target, reverse ? 1.0 : 0.0);
}

namespace {

// The digital filter of one feedback input: a sampling-period code and 3 or 6 samples, the
// window being samples * max(1, 2c) clock periods. Off when no filtered sensor is on the input.
struct InputFilter {
  bool on = false;
  int periodCode = 0;
  int samples = 0;
};

InputFilter FilterOfIndex(int index) {
  static constexpr int kPeriodCode[13] = {0, 0, 1, 3, 2, 5, 3, 7, 4, 9, 5, 11, 6};
  static constexpr int kSamples[13] = {3, 6, 6, 3, 6, 3, 6, 3, 6, 3, 6, 3, 6};
  if (index < 0 || index > 12) return {};
  return {true, kPeriodCode[index], kSamples[index]};
}

// The filter of input 0 (A) or 1 (B): the load sensor's when it claims the input, else the
// motor sensor's. Incomplete inputs leave `in` incomplete.
InputFilter SelectFilter(RuleInputs& in, int input) {
  const bool loadFiltered = IsEncoderType(in.Code("LoadSensorType")) && in.Code("isFilterEnc_LD") != 0;
  const bool motorFiltered = in.Code("isFilterEnc_MT") != 0;
  const int loadIndex = in.Code("FilterEncValue_LD");
  const int motorIndex = in.Code("FilterEncValue_MT");
  if (loadFiltered && in.Code("LoadSensorConnector") == input) return FilterOfIndex(loadIndex);
  if (motorFiltered && in.Code("MotorSensorConnector") == input) return FilterOfIndex(motorIndex);
  return {};
}

// Rewrites the field `mask` of a filter register with `field` (0 with the filter off).
bool ComputeFilterField(CMC_Setup* setup, const char* name, int input, std::int64_t mask,
                        std::int64_t (*field)(const InputFilter&)) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need(name);
  const std::int64_t old = TruncateToInt64(in.Base(name));
  const InputFilter filter = SelectFilter(in, input);
  if (!in.Complete()) return false;
  const std::int64_t value = filter.on ? field(filter) : 0;
  return Write(target, static_cast<double>((old & ~mask) | value));
}

std::int64_t PeriodField(const InputFilter& f) { return static_cast<std::int64_t>(f.periodCode) * 65536; }
std::int64_t SamplesFieldA(const InputFilter& f) { return f.samples == 3 ? 0x4500 : 0x8A00; }
std::int64_t SamplesFieldB(const InputFilter& f) { return f.samples == 3 ? 0x15000 : 0x2A000; }

}  // namespace

bool ComputeEncoderFilters(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* qual = in.Need("QUAL");
  if (in.Complete()) Write(qual, 3.0);
  const bool act = ComputeFilterField(setup, "QUAL_ACT", 0, 0xFF0000, &PeriodField);
  const bool aq2 = ComputeFilterField(setup, "QUAL_AQ2", 0, 0xCF00, &SamplesFieldA);
  const bool bct = ComputeFilterField(setup, "QUAL_BCT", 1, 0xFF0000, &PeriodField);
  const bool bq2 = ComputeFilterField(setup, "QUAL_BQ2", 1, 0x3F000, &SamplesFieldB);
  return in.Complete() && act && aq2 && bct && bq2;
}

// --- Serial absolute encoder

namespace {

// The parameter set of the serial encoder in use: the load's with a serial load sensor.
class SerialSet {
 public:
  explicit SerialSet(CMC_Setup* setup) : onLoad_(IsSerialType(ReadCode(setup, "LoadSensorType"))) {}
  std::string operator()(const char* name) const { return onLoad_ ? std::string(name) + "_LD" : name; }
  bool OnLoad() const { return onLoad_; }

 private:
  bool onLoad_;
};

}  // namespace

bool ComputeSSITURNS(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSITURNS");
  const int multiTurn = in.Code(set("SSI_isMultiTurn"));
  const double bits = in.Base(set("SSI_No_Bits_Turns"));
  return in.Complete() && Write(target, multiTurn != 0 ? bits : 0.0);
}

bool ComputeSSIREV(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSIREV");
  const double bits = in.Base(set("SSI_No_Bits_Revolution"));
  if (!in.Complete()) return false;
  target->SetValueInInternalUnit(bits);
  return true;
}

bool ComputeSSITYPE(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSITYPE");
  const int gray = in.Code(set("SSI_isGray"));
  return in.Complete() && Write(target, gray == 1 ? 1.0 : 0.0);
}

bool ComputeSSIBR(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSIBR");
  const double frequency = in.Base(set("SSI_freq"));
  if (!in.Complete()) return false;
  // Clock divider for the chosen bit rate, never slower than a read in one current-loop period.
  return Write(target, GetControlFrequency(setup) / std::max(frequency, GetAbsEncoderBitRate(setup)) - 1.0);
}

bool ComputeSSISENSE(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSISENSE");
  const int reverse = in.Code(set("SSI_isReverseCounting"));
  return in.Complete() && Write(target, reverse == 1 ? -1.0 : 1.0);
}

bool ComputeSSIFDBKTYPE(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SSIFDBKTYPE");
  const bool biss = in.Code("MotorSensorType") == 6 || in.Code("LoadSensorType") == 6;
  return in.Complete() && Write(target, biss ? 2.0 : 1.0);
}

bool ComputeZAOFF(CMC_Setup* setup) {
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("ZAOFF");
  const double offset = in.Base("SSI_Offset");
  return in.Complete() && Write(target, offset);
}

bool ComputeSPICLKMODE(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("SPICLKMODE");
  const int type = in.Code(set.OnLoad() ? "LoadSensorType" : "MotorSensorType");
  const double frequency = in.Base(set("SSI_freq"));
  if (!in.Complete()) return false;
  const drivebase::ClockList clocks = SerialEncoderClocks(setup, type);
  if (clocks.kHz.size() != clocks.modes.size()) return false;
  // The clock mode of the listed frequency; a frequency off the list takes mode 2.
  for (std::size_t i = 0; i < clocks.kHz.size(); ++i) {
    if (clocks.kHz[i] * 1000.0 == frequency) return Write(target, clocks.modes[i]);
  }
  return Write(target, 2.0);
}

namespace {

// The loop that reads the serial encoder: the speed loop for a load encoder, else the current
// loop. Its divider parameter (SLPER or CLPER) and its period in s.
const char* ReadingLoopDivider(const SerialSet& set) { return set.OnLoad() ? "SLPER" : "CLPER"; }

double ReadingLoopPeriod(const CMC_Setup* setup, const SerialSet& set) {
  return set.OnLoad() ? GetSpeedLoopPeriod(setup) : GetCurrentLoopPeriod(setup);
}

}  // namespace

bool ComputeAEI_CLKDIV(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("AEI_CLKDIV");
  const double period = in.Base("PWMPER");
  const double divider = in.Base(ReadingLoopDivider(set));
  if (!in.Complete()) return false;
  // The interface timer counts 16 bits: divide its clock by 2^n until one loop period fits.
  const double bits = std::ceil(std::log2(period * divider / 32768.0));
  return Write(target, bits > 7.0 ? 7.0 : bits > 0.0 ? bits : 0.0);
}

bool ComputeAEI_PER(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("AEI_PER");
  const double period = in.Base("PWMPER");
  const double divider = in.Base(ReadingLoopDivider(set));
  const double clockDivider = in.Base("AEI_CLKDIV");
  if (!in.Complete()) return false;
  return Write(target, 2.0 * period * divider / std::pow(2.0, clockDivider) - 1.0);
}

bool ComputeAEI_CMPTIME(CMC_Setup* setup) {
  const SerialSet set(setup);
  RuleInputs in(setup);
  CMC_Parameter* target = in.Need("AEI_CMPTIME");
  const double clock = in.Base("DSP_freq");
  const double transfer = in.Base("AEI_TransferTime");
  const double guard = in.Base("AEI_GuardTime");
  const double read = in.Base("AEI_ReadTime1Mhz");
  const double frequency = in.Base(set("SSI_freq"));
  const double compute = in.Base("AEI_ComputeTime");
  const double clockDivider = in.Base("AEI_CLKDIV");
  if (!in.Complete()) return false;
  // Timer counts from the start of the loop to the moment the position must be there.
  const double loop = ReadingLoopPeriod(setup, set);
  const double available = loop - transfer - guard - (read * 1e6 / frequency + compute);
  const double counts = clock * available / std::pow(2.0, clockDivider);
  return Write(target, std::max(1.0, counts));
}

}  // namespace kestrel
