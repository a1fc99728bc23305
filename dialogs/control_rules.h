// Applying a show or enable rule to a set of controls at once.
#pragma once

#include <initializer_list>

#include "drivebase/edit_setup_dlg.h"

namespace kestrel::dialogs {

inline void EnableAll(CMC_EditSetupDlg& dialog, std::initializer_list<int> ids, bool enable) {
  for (const int id : ids) dialog.EnableChild(id, enable);
}

inline void ShowAll(CMC_EditSetupDlg& dialog, std::initializer_list<int> ids, bool show) {
  for (const int id : ids) dialog.ShowChild(id, show);
}

}  // namespace kestrel::dialogs
