// The questions a tuning test asks when the setup's total inertia (mass) is below the motor's own:
// CInertiaQuestion (template 3056, "Motor inertia") and CMassQuestion (template 3066, "Motor
// mass"). Choice 1 raises the total to 1.01 × the motor's own; choice 2 marks the motor's
// inertia (mass) unknown (isMotorInertiaUnknown 1) and leaves the total as it is.
#pragma once

#include "dialogs/my_setup_dlg.h"

namespace kestrel {

// What tells the two questions apart.
struct MotorInertiaQuestionKind {
  unsigned templateId;
  const char* totalParameter;  // "Jt", "Mt"
  const char* motorParameter;  // "Jm", "M"
};

// Whether the setup's total (Jt, or Mt for TransmissionType 2 and 3) is below the motor's own (Jm,
// M) while isMotorInertiaUnknown is 0: the case in which a tuning test asks the question.
bool MotorInertiaAboveTotal(const CMC_Setup* setup);
// Asks the matching question modally when MotorInertiaAboveTotal holds; false when the user
// cancelled it, true otherwise (answered, or nothing to ask).
bool AskMotorInertiaIfBelowMotor(CMC_Setup* setup, CWnd* parent);

}  // namespace kestrel

class CMotorInertiaQuestion : public CMySetupDlg {
 public:
  static constexpr int kIncreaseRadio = 3333;
  static constexpr int kDisregardRadio = 3334;
  static constexpr const char* kNoSelection =
      "No selection has been made. The dialog can only close if you make a selection.";

  // 0 none, 1 raise the total, 2 disregard the motor's own.
  int Choice() const { return choice_; }

 protected:
  CMotorInertiaQuestion(CMC_Setup* setup, CWnd* parent, const kestrel::MotorInertiaQuestionKind& kind);
  bool OnInitDialog() override;
  void OnOK() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnIncrease();
  void OnDisregard();
  void ShowChoice();

  const kestrel::MotorInertiaQuestionKind& kind_;
  int choice_ = 1;
};

class CInertiaQuestion : public CMotorInertiaQuestion {
 public:
  static constexpr unsigned kTemplateId = 3056;
  CInertiaQuestion(CMC_Setup* setup, CWnd* parent);
};

class CMassQuestion : public CMotorInertiaQuestion {
 public:
  static constexpr unsigned kTemplateId = 3066;
  CMassQuestion(CMC_Setup* setup, CWnd* parent);
};
