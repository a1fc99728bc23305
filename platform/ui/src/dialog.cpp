#include "ui/dialog.h"

#include "scope_exit.h"
#include "ui/data_exchange.h"
#include "ui/event_loop.h"
#include "ui/keyboard.h"
#include "ui/message_map.h"
#include "ui/template_library.h"
#include "ui/window.h"

CDialog::CDialog(unsigned templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
  if (windows_) throw ui::DialogError(windows_->Describe() + " is open already");
  ui::EventLoop& loop = ui::CurrentEventLoop();
  windows_ = ui::BuildDialogWindows(ui::DialogTemplates().Find(templateId_));
  windows_->parent = parent_ != nullptr ? parent_->GetSafeHwnd() : nullptr;
  ui::Link(*windows_, *this);
  ended_ = false;
  endCode_ = 0;
  loop.Opened(*this);
  const ui::ScopeExit close([&] {
    loop.Forget(*windows_);
    loop.Closed(*this);
    windows_.reset();
    ended_ = true;
  });
  OnInitDialog();
  if (!ended_) ShowWindow(SW_SHOW);
  loop.RunModal(*this);
  return endCode_;
}

void CDialog::EndDialog(int result) {
  if (!windows_) {
    throw ui::DialogError("EndDialog on the dialog of template " + std::to_string(templateId_) +
                          ", which is not open");
  }
  endCode_ = result;
  if (ended_) return;
  ended_ = true;
  ui::CurrentEventLoop().KillTimers(*windows_);
  ShowWindow(SW_HIDE);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  try {
    DoDataExchange(&exchange);
  } catch (const ui::DataExchangeFailure&) {
    return false;
  }
  return true;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

bool CDialog::PreTranslateMessage(MSG* message) {
  if (message->message != WM_KEYDOWN) return false;
  if (message->wParam == VK_RETURN) {
    SendCommandUnlessDisabled(IDOK);
    return true;
  }
  if (message->wParam == VK_ESCAPE) {
    SendCommandUnlessDisabled(IDCANCEL);
    return true;
  }
  return false;
}

const ui::MessageMap* CDialog::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CDialog>(CWnd::GetMessageMap())
                                        .Command(IDOK, &CDialog::OnOK)
                                        .Command(IDCANCEL, &CDialog::OnCancel)
                                        .Build();
  return &map;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::SendCommandUnlessDisabled(int id) {
  const ui::Window* button = Attached().FindChild(id);
  if (button != nullptr && !button->enabled) return;
  SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), 0);
}
