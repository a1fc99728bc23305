#include "commissioning/index_capture.h"

#include "commissioning/my_test_dlg.h"
#include "commissioning/test_current_counts.h"
#include "dialogs/setup_values.h"

IndexCapture::IndexCapture(const CMC_Setup* setup, int connector)
    : connector_(connector),
      applies_(connector == 0 || (connector == 1 && kestrel::dialogs::IntOption(setup, "isIndex2", 0) != 0)) {}

bool IndexCapture::ArmOnce(CMC_Setup& setup) {
  if (armed_) return true;
  armed_ = setup.ExecuteString(connector_ != 0 ? "!CAP;EN2CAPI1;" : "!CAP;ENCAPI1;");
  return armed_;
}

std::string IndexCapture::Text(int captured) { return captured == 0 ? "not detected" : std::to_string(captured); }

bool CMyTestDlg::FollowIndexCapture(IndexCapture& index, bool moved, int editId) {
  if (!index.Applies()) return true;
  if (moved && !index.ArmOnce(*GetSetup())) {
    Fail(CMC_Comm::GetLastErrorText());
    return false;
  }
  double captured = 0.0;
  if (!ReadDriveValue(index.CaptureVariable(), true, captured)) return false;
  SetChildText(editId, IndexCapture::Text(kestrel::TruncatedWithin<int>(captured)));
  return true;
}
