#include "compute/option_readers.h"

#include "compute/setup_access.h"
#include "drivebase/error_report.h"

namespace kestrel {
namespace {

bool IsSet(const CMC_Setup* setup, std::string_view name) {
  return !setup->GetOptionNoError(name).empty();
}

int OptionFlag(const CMC_Setup* setup, std::string_view name) {
  return GetIntOptionSilently(setup, name) == 1 ? 1 : 0;
}

double OptionalValue(const CMC_Setup* setup, std::string_view name, double absent) {
  const CMC_Parameter* parameter = FindOptionalParameter(setup, name);
  return parameter != nullptr ? parameter->GetValueInBaseUnit() : absent;
}

}  // namespace

int GetIntOptionSilently(const CMC_Setup* setup, std::string_view name) {
  const drivebase::ErrorReportingOff silent;
  return setup->GetIntOption(name);
}

int GetMaxFilters(const CMC_Setup* setup) {
  return IsSet(setup, "MaxFilters") ? GetIntOptionSilently(setup, "MaxFilters") : 10;
}

int GetInputsTypeProgrammable(const CMC_Setup* setup) {
  return IsSet(setup, "IsInputsTypeProgrammable") ? GetIntOptionSilently(setup, "IsInputsTypeProgrammable")
                                                  : -1;
}

int IsPMSMStartwithHalls(const CMC_Setup* setup) { return OptionFlag(setup, "PMSMStartwithHalls"); }

int IsNewDeadBand(const CMC_Setup* setup) { return OptionFlag(setup, "NewDeadBand"); }

int HasNegTransmission(const CMC_Setup* setup) { return OptionFlag(setup, "hasNegTransmission"); }

int IsEnablePolarityHidden(const CMC_Setup* setup) { return OptionFlag(setup, "hideEnablePolarity"); }

double GetAbsoluteStartMinMovePercent(const CMC_Setup* setup) {
  return OptionalValue(setup, "ABSTART_MINMOVE_PERCENT", 60.0);
}

double GetFastLoopMinPeriod(const CMC_Setup* setup) { return OptionalValue(setup, "Ts_C_min", 0.0); }

double GetSlowLoopMinPeriod(const CMC_Setup* setup) { return OptionalValue(setup, "Ts_S_min", 0.0); }

bool HasLinearAbsoluteEncoders(const CMC_Setup* setup) {
  return HasParameter(setup, "SSI_Resolution") && HasParameter(setup, "SSI_Resolution_LD");
}

bool HasI2tWarning(const CMC_Setup* setup) {
  return HasParameter(setup, "II2TWARLIM_D") && HasParameter(setup, "I2TWARLIM_M");
}

bool HasAnalogueInput(const CMC_Setup* setup) {
  return HasVariable(setup, "CADIN") && HasParameter(setup, "CADIN");
}

}  // namespace kestrel
