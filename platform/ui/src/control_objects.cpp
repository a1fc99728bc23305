#include "ui/controls.h"

namespace ui {

std::unique_ptr<CWnd> MakeControlObject(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit: return std::make_unique<CEdit>();
    case ControlKind::Button:
    case ControlKind::Check:
    case ControlKind::Radio: return std::make_unique<CButton>();
    case ControlKind::Combo: return std::make_unique<CComboBox>();
    case ControlKind::Slider: return std::make_unique<CSliderCtrl>();
    case ControlKind::Spin: return std::make_unique<CSpinButtonCtrl>();
    case ControlKind::Tab: return std::make_unique<CTabCtrl>();
    case ControlKind::Progress: return std::make_unique<CProgressCtrl>();
    case ControlKind::Static:
    case ControlKind::Picture:
    case ControlKind::Graph:
    case ControlKind::Group: return std::make_unique<CStatic>();
    case ControlKind::Dialog: break;
  }
  return std::make_unique<CWnd>();
}

}  // namespace ui
