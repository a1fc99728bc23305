// CMySetupDlg: the plug-in's base of every setup dialog. Over the host's binding of parameters to
// controls it adds the reactions that keep the controller gains and a few dependent ranges
// consistent when the user edits a value: a typed gain becomes the register pair the drive
// holds, and the field then shows what that pair gives.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "drivebase/edit_setup_dlg.h"

namespace kestrel {
// The registers computed from the user level, then the user level derived back from them, so
// that both parameter layers agree (what every opener runs around a dialog).
void BringLayersToAgree(CMC_Setup* setup);

// Opens a dialog or test as every opener does: both layers brought to agree, then the dialog
// built by `make` (so that it starts from agreeing layers), run modally (with
// g_bKufSinusoidalMode 1 while it runs when sinusoidalVoltage) and destroyed; after IDOK,
// `accepted` and both layers again. Returns the end code.
int RunChildDialog(CMC_Setup* setup, const std::function<std::unique_ptr<CDialog>()>& make, bool sinusoidalVoltage,
                   const std::function<void()>& accepted = {},
                   const std::function<void(const CDialog&)>& ended = {});
}  // namespace kestrel

class CMySetupDlg : public CMC_EditSetupDlg {
 public:
  CMySetupDlg(CMC_Setup* setup, unsigned templateId, int flag, drivebase::GuidelineTable guidelines,
              CWnd* parent);

  // The reaction to the edited parameter (names compared without regard to case), then the
  // host's handler.
  void OnChangedParameterValue(const std::string& name) override;

 protected:
  // Opens a dialog or a test modally on the same setup, as every opener does: the registers are
  // computed and the user level derived back before, so that both layers agree; after OK both
  // again, and every control reloaded. With sinusoidalVoltage, g_bKufSinusoidalMode is 1 from
  // after those computations until the modal loop ends (its old value back before the
  // computations that follow). `accepted` runs after OK, before those computations. Returns the
  // child's end code.
  int RunChild(CDialog& child, bool sinusoidalVoltage = false, const std::function<void()>& accepted = {});
  // The same for a child built only once the layers agree (a test); every control is reloaded
  // after OK.
  int RunChild(const std::function<std::unique_ptr<CDialog>()>& make, bool sinusoidalVoltage,
               const std::function<void(const CDialog&)>& ended = {});
};
