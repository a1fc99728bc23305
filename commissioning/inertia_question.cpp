// The motor-inertia (mass) questions and the check that asks them.
#include "commissioning/inertia_question.h"

#include "compute/setup_access.h"
#include "dialogs/setup_values.h"
#include "ui/message_map.h"

namespace {

constexpr kestrel::MotorInertiaQuestionKind kInertia{CInertiaQuestion::kTemplateId, "Jt", "Jm"};
constexpr kestrel::MotorInertiaQuestionKind kMass{CMassQuestion::kTemplateId, "Mt", "M"};

// The raised total: a little above the motor's own, so that the load is not taken as none.
constexpr double kRaisedTotalFactor = 1.01;

}  // namespace

namespace kestrel {

bool MotorInertiaAboveTotal(const CMC_Setup* setup) {
  const MotorInertiaQuestionKind& kind = IsLinearMotor(setup) ? kMass : kInertia;
  if (!dialogs::Has(setup, kind.totalParameter) || !dialogs::Has(setup, kind.motorParameter)) return false;
  if (dialogs::Code(setup, "isMotorInertiaUnknown") != 0) return false;
  return dialogs::Value(setup, kind.totalParameter) < dialogs::Value(setup, kind.motorParameter);
}

bool AskMotorInertiaIfBelowMotor(CMC_Setup* setup, CWnd* parent) {
  if (!MotorInertiaAboveTotal(setup)) return true;
  if (IsLinearMotor(setup)) return CMassQuestion(setup, parent).DoModal() == IDOK;
  return CInertiaQuestion(setup, parent).DoModal() == IDOK;
}

}  // namespace kestrel

CMotorInertiaQuestion::CMotorInertiaQuestion(CMC_Setup* setup, CWnd* parent,
                                             const kestrel::MotorInertiaQuestionKind& kind)
    : CMySetupDlg(setup, kind.templateId, 0, {}, parent), kind_(kind) {}

CInertiaQuestion::CInertiaQuestion(CMC_Setup* setup, CWnd* parent) : CMotorInertiaQuestion(setup, parent, kInertia) {}

CMassQuestion::CMassQuestion(CMC_Setup* setup, CWnd* parent) : CMotorInertiaQuestion(setup, parent, kMass) {}

const ui::MessageMap* CMotorInertiaQuestion::GetMessageMap() const {
  static const ui::MessageMap map = ui::MessageMapBuilder<CMotorInertiaQuestion>(CMySetupDlg::GetMessageMap())
                                        .Command(kIncreaseRadio, &CMotorInertiaQuestion::OnIncrease)
                                        .Command(kDisregardRadio, &CMotorInertiaQuestion::OnDisregard)
                                        .Build();
  return &map;
}

bool CMotorInertiaQuestion::OnInitDialog() {
  CMySetupDlg::OnInitDialog();
  choice_ = 1;
  ShowChoice();
  return true;
}

void CMotorInertiaQuestion::OnIncrease() {
  choice_ = 1;
  ShowChoice();
}

void CMotorInertiaQuestion::OnDisregard() {
  choice_ = 2;
  ShowChoice();
}

void CMotorInertiaQuestion::ShowChoice() {
  CheckRadioButton(kIncreaseRadio, kDisregardRadio, choice_ == 2 ? kDisregardRadio : kIncreaseRadio);
  if (choice_ == 0) CheckRadioButton(kIncreaseRadio, kDisregardRadio, 0);
  EnableChild(IDOK, choice_ == 1 || choice_ == 2);
}

void CMotorInertiaQuestion::OnOK() {
  CMC_Setup* setup = GetSetup();
  switch (choice_) {
    case 1:
      kestrel::dialogs::SetValue(setup, kind_.totalParameter,
                                 kestrel::dialogs::Value(setup, kind_.motorParameter) * kRaisedTotalFactor);
      break;
    case 2: kestrel::dialogs::SetValue(setup, "isMotorInertiaUnknown", 1.0); break;
    default: MessageBox(kNoSelection, "", MB_OK | MB_ICONWARNING); return;
  }
  CMySetupDlg::OnOK();
}
