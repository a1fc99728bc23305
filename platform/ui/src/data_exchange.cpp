#include "ui/data_exchange.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "text.h"
#include "ui/message_box.h"
#include "ui/window.h"

namespace {

// The state of the control `id`, which must be of one of the kinds.
ui::Window& ControlState(CDataExchange* pDX, int id, std::initializer_list<ui::ControlKind> kinds,
                         const char* exchange) {
  ui::Window& window = *pDX->PrepareCtrl(id).GetSafeHwnd();
  if (std::find(kinds.begin(), kinds.end(), window.kind) == kinds.end()) {
    throw ui::DialogError(std::string(exchange) + ": " + window.Describe() + " of " +
                          pDX->m_pDlgWnd->GetSafeHwnd()->Describe() + " cannot take part in it");
  }
  return window;
}

template <class Number>
std::optional<Number> ParseNumber(std::string_view text) {
  text = ui::Trim(text);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

template <class Number>
void ExchangeNumber(CDataExchange* pDX, int id, Number& value, const std::string& shown, const char* complaint) {
  ui::Window& edit = ControlState(pDX, id, {ui::ControlKind::Edit, ui::ControlKind::Static}, "DDX_Text");
  if (!pDX->m_bSaveAndValidate) {
    edit.text = shown;
    return;
  }
  const std::optional<Number> parsed = ParseNumber<Number>(edit.text);
  if (!parsed) {
    AfxMessageBox(complaint, MB_ICONEXCLAMATION);
    pDX->Fail();
  }
  value = *parsed;
}

std::string FormatReal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

}  // namespace

CDataExchange::CDataExchange(CWnd* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

CWnd& CDataExchange::PrepareCtrl(int id) {
  CWnd* control = m_pDlgWnd->GetDlgItem(id);
  if (control == nullptr) {
    throw ui::DialogError(m_pDlgWnd->GetSafeHwnd()->Describe() + " has no control " + std::to_string(id) +
                          " to exchange data with");
  }
  lastControl_ = control;
  return *control;
}

void CDataExchange::Fail() {
  if (lastControl_ != nullptr) lastControl_->SetFocus();
  throw ui::DataExchangeFailure();
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  ui::Window& edit = ControlState(pDX, id, {ui::ControlKind::Edit, ui::ControlKind::Static}, "DDX_Text");
  if (pDX->m_bSaveAndValidate) {
    value = edit.text;
  } else {
    edit.text = value;
  }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  ExchangeNumber(pDX, id, value, std::to_string(value), "Please enter an integer.");
}

void DDX_Text(CDataExchange* pDX, int id, double& value) {
  ExchangeNumber(pDX, id, value, FormatReal(value), "Please enter a number.");
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  ui::Window& box = ControlState(pDX, id, {ui::ControlKind::Check}, "DDX_Check");
  if (pDX->m_bSaveAndValidate) {
    value = box.check;
  } else {
    box.check = value;
  }
}

void DDX_Radio(CDataExchange* pDX, int firstId, int& index) {
  ui::Window& first = ControlState(pDX, firstId, {ui::ControlKind::Radio}, "DDX_Radio");
  const std::vector<ui::Window*> group = ui::RadioGroupOf(first);
  if (group.front() != &first) {
    throw ui::DialogError("DDX_Radio: " + first.Describe() + " is not the first radio of its group");
  }
  if (pDX->m_bSaveAndValidate) {
    const auto checked = std::find_if(group.begin(), group.end(), [](const ui::Window* radio) {
      return radio->check == BST_CHECKED;
    });
    index = checked == group.end() ? -1 : static_cast<int>(checked - group.begin());
    return;
  }
  for (std::size_t i = 0; i < group.size(); ++i) {
    group[i]->check = static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED;
  }
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
  ui::Window& combo = ControlState(pDX, id, {ui::ControlKind::Combo}, "DDX_CBIndex");
  if (pDX->m_bSaveAndValidate) {
    index = combo.selection;
  } else {
    ui::SelectItem(combo, index);
  }
}

void DDX_CBString(CDataExchange* pDX, int id, std::string& text) {
  ui::Window& combo = ControlState(pDX, id, {ui::ControlKind::Combo}, "DDX_CBString");
  if (pDX->m_bSaveAndValidate) {
    text = combo.text;
    return;
  }
  const auto found = std::find_if(combo.items.begin(), combo.items.end(),
                                  [&](const ui::ListItem& item) { return item.text == text; });
  ui::SelectItem(combo, found == combo.items.end() ? -1 : static_cast<int>(found - combo.items.begin()));
  combo.text = text;
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.GetSafeHwnd() != nullptr) return;
  if (!control.SubclassDlgItem(id, pDX->m_pDlgWnd)) {
    throw ui::DialogError("DDX_Control: " + pDX->m_pDlgWnd->GetSafeHwnd()->Describe() + " has no control " +
                          std::to_string(id));
  }
}
