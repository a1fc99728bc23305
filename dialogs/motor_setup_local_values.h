// Motor Setup's own display values: what a sin/cos encoder's interpolation makes of its
// resolution, on the motor and on the load side.
#pragma once

#include <optional>

#include "dialogs/motor_setup_dialog.h"

struct CMotorSetupDialog::LocalValues {
  // Made only when the setup has a sin/cos sensor on that side when the dialog is built.
  std::optional<CMC_Parameter> resolutionWithInterpolation;      // Resolution / 2^SINCOS_fract
  std::optional<CMC_Parameter> equivCountsPerRev;                // No_encoder_lines * 2^SINCOS_fract
  std::optional<CMC_Parameter> resolutionWithInterpolationLoad;  // the same with the "_LD" values
  std::optional<CMC_Parameter> equivCountsPerRevLoad;
};
