#include "dialogs/my_setup_dlg.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "compute/derivation.h"
#include "compute/gain_pairs.h"
#include "compute/scale_functions.h"
#include "compute/parameter_limits.h"
#include "compute/registers.h"
#include "compute/setup_access.h"
#include "dialogs/message_box_reporter.h"
#include "dialogs/setup_values.h"

namespace {

using kestrel::GainPair;
using kestrel::dialogs::SameName;

// A scaled gain goes into its register pair (shift and mantissa), and is shown as the pair
// holds it: 1.00001 typed may come back as 1.0000305.
void StoreGainPair(CMC_Setup* setup, const GainPair& pair) {
  kestrel::ComputeShiftRegister(setup, pair);
  kestrel::ComputeMantissaRegister(setup, pair);
  kestrel::DeriveScaledGain(setup, pair.gain, pair.mantissa, pair.shift);
}

// The acceleration feed-forward has its shift split over two registers.
void StoreAccelerationFeedForward(CMC_Setup* setup) {
  kestrel::ComputeAccFeedForwardExtraShift(setup);
  kestrel::ComputeAccFeedForwardMantissa(setup);
  kestrel::ComputeAccFeedForwardShift(setup);
  kestrel::DeriveAccelerationFeedForward(setup);
}

constexpr std::array kGainPairs{
    kestrel::kCurrentProportional, kestrel::kCurrentIntegral,   kestrel::kPositionIntegral,
    kestrel::kPositionProportional, kestrel::kPositionDerivative, kestrel::kSpeedIntegral,
    kestrel::kSpeedProportional,    kestrel::kSpeedFeedForward,
};

}  // namespace

CMySetupDlg::CMySetupDlg(CMC_Setup* setup, unsigned templateId, int flag,
                         drivebase::GuidelineTable guidelines, CWnd* parent)
    : CMC_EditSetupDlg(setup, templateId, flag, guidelines, parent) {}

void CMySetupDlg::OnChangedParameterValue(const std::string& name) {
  CMC_Setup* setup = GetSetup();
  const auto pair = std::ranges::find_if(kGainPairs, [&](const GainPair& p) { return SameName(name, p.gain); });
  if (pair != kGainPairs.end()) {
    StoreGainPair(setup, *pair);
  } else if (SameName(name, "KFFA_scl")) {
    StoreAccelerationFeedForward(setup);
  } else if (SameName(name, "In") || SameName(name, "InPS")) {
    // The angle-controller test current may not exceed the nominal current of motor or drive.
    if (kestrel::HasParameter(setup, "KPTHT")) {
      kestrel::LimitAngleTestCurrent(setup);
      RefreshParameterControls("MAX_CURRENT");
    }
  } else if (SameName(name, "Resolution")) {
    kestrel::ComputeMECRESL(setup);
    kestrel::ComputeENC2THL(setup);
    kestrel::ComputeDBTTH(setup);
    kestrel::DeriveEncoderLines(setup);
    kestrel::DeriveLinearHallResolution(setup);
    kestrel::DeriveLinearHallResolutionLoad(setup);
  } else if (SameName(name, "PolePitch")) {
    // A linear encoder cannot count fewer than once per pole pitch.
    kestrel::LimitResolutionToPolePitch(setup);
    RefreshParameterControls("Resolution");
  }
  CMC_EditSetupDlg::OnChangedParameterValue(name);
}

namespace {

// Puts the voltage-scale flag back however the modal run ends.
class SinusoidalModeScope {
 public:
  explicit SinusoidalModeScope(bool set) : previous_(g_bKufSinusoidalMode) {
    if (set) g_bKufSinusoidalMode = 1;
  }
  ~SinusoidalModeScope() { g_bKufSinusoidalMode = previous_; }
  SinusoidalModeScope(const SinusoidalModeScope&) = delete;
  SinusoidalModeScope& operator=(const SinusoidalModeScope&) = delete;

 private:
  int previous_;
};

}  // namespace

void kestrel::BringLayersToAgree(CMC_Setup* setup) {
  ComputeAllRegisters(setup, MessageBoxReporter());
  DeriveParametersFromRegisters(setup);
}

int CMySetupDlg::RunChild(CDialog& child, bool sinusoidalVoltage, const std::function<void()>& accepted) {
  CMC_Setup* setup = GetSetup();
  kestrel::BringLayersToAgree(setup);
  int result = 0;
  {
    const SinusoidalModeScope mode(sinusoidalVoltage);
    result = child.DoModal();
  }
  if (result == IDOK) {
    if (accepted) accepted();
    kestrel::BringLayersToAgree(setup);
    RefreshAllParameters();
    UpdateData(false);
  }
  return result;
}

int kestrel::RunChildDialog(CMC_Setup* setup, const std::function<std::unique_ptr<CDialog>()>& make,
                            bool sinusoidalVoltage, const std::function<void()>& accepted,
                            const std::function<void(const CDialog&)>& ended) {
  BringLayersToAgree(setup);
  int result = 0;
  {
    const std::unique_ptr<CDialog> child = make();
    {
      const SinusoidalModeScope mode(sinusoidalVoltage);
      result = child->DoModal();
    }
    if (ended) ended(*child);
  }
  if (result == IDOK) {
    if (accepted) accepted();
    BringLayersToAgree(setup);
  }
  return result;
}

int CMySetupDlg::RunChild(const std::function<std::unique_ptr<CDialog>()>& make, bool sinusoidalVoltage,
                          const std::function<void(const CDialog&)>& ended) {
  const int result = kestrel::RunChildDialog(GetSetup(), make, sinusoidalVoltage, {}, ended);
  if (result == IDOK) {
    RefreshAllParameters();
    UpdateData(false);
  }
  return result;
}
