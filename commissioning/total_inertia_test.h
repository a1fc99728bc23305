// CTotalInertiaTest, the "Total inertia test" (template 3041), and its linear twin CTotalMassTest,
// the "Total mass test" (template 3065). After the preliminary initial-positioning stage the
// drive accelerates the motor with the test current up to the speed limit and reports the time
// taken and the speed gained; the test computes the total inertia Jt (mass Mt), motor plus load,
// as torque (force) × time ÷ speed change, writes it to the setup and offers to keep it on
// closing.
//
// Steps: 0/1 the preliminary program, 2/3 the identification program, 4 its outcome.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"

namespace kestrel {

// What tells the two twins apart.
struct TotalInertiaKind {
  unsigned templateId;
  unsigned helpContext;
  const char* resultParameter;    // "Jt", "Mt"
  const char* constantParameter;  // "K" (N·m/A), "Kf" (N/A)
  const char* resultLabel;        // the save question's label
  const char* programBaseName;    // the identification program
  std::array<const char*, 4> texts;  // status texts of steps 0 … 3
  const char* negativeSpeedText;  // test_flag ≤ 0 (N1); N2 is it with a final full stop
  const char* zeroSpeedText;      // delta_time −2 (Z)
};

// The inertia test's kind, and the mass test's.
const TotalInertiaKind& InertiaTestKind();
const TotalInertiaKind& MassTestKind();

// The outcome of an identification run, read from the program.
struct TotalInertiaReadings {
  double testFlag = 0.0;
  double deltaTime = 0.0;   // speed-loop samples
  double deltaSpeed = 0.0;  // internal speed units
};

// The total inertia (mass) in base units: torque (K × I ÷ B) × time (delta_time × Ts) ÷ speed
// change (delta_speed ÷ S), written as (S ÷ B) × delta_time × Ts × K × I ÷ delta_speed with
// S = the motor's speed scale (internal units per rad/s or m/s), B = the current scale (internal
// units per A), Ts the speed-loop period, K the torque (force) constant, I the test current in
// internal units.
double TotalInertia(double speedScale, double currentScale, double period_s, double constant,
                    double testCurrent, const TotalInertiaReadings& readings);

// The failure text of a run's readings in the test's order of judgement; none when the
// readings give a result.
std::optional<std::string> TotalInertiaFailure(const TotalInertiaKind& kind, const TotalInertiaReadings& readings);

}  // namespace kestrel

class CTotalLoadTest : public CMyTestDlg {
 public:
  static constexpr int kMaxSpeedEdit = 3267, kMaxSpeedUnit = 3268;
  static constexpr int kResultEdit = 3263, kResultUnit = 3264;
  static constexpr int kCurrentEdit = 1005, kCurrentUnit = 1017;
  static constexpr int kProtectionEdit = 3265, kProtectionUnit = 3266;
  static constexpr const char* kProtectionBelowCurrent = "I protection must be greater or equal to Test current.";

  const kestrel::TotalInertiaKind& Kind() const { return kind_; }
  // The result of the last successful run (base unit), none before one.
  std::optional<double> Identified() const { return identified_; }

  std::vector<TestResultLine> ResultLines() const override;
  std::vector<MeasuredValue> MeasuredValues() const override;
  void OnBtnStartStop() override;
  void BeginTest() override;

 protected:
  CTotalLoadTest(CMC_Setup* setup, int flag, CWnd* parent, const kestrel::TotalInertiaKind& kind);
  bool OnInitDialog() override;
  void OnOK() override;
  std::vector<kestrel::ComparedValue> ComparedValues() const override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchIdentification();
  void FinishIdentification();

  const kestrel::TotalInertiaKind& kind_;
  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  double openingResult_ = 0.0;  // base unit, when the dialog opened
  std::optional<double> identified_;
  int testCurrent_ = 0;  // internal, truncated, of the current run
};

class CTotalInertiaTest : public CTotalLoadTest {
 public:
  static constexpr unsigned kTemplateId = 3041;
  CTotalInertiaTest(CMC_Setup* setup, int flag, CWnd* parent);
};

class CTotalMassTest : public CTotalLoadTest {
 public:
  static constexpr unsigned kTemplateId = 3065;
  CTotalMassTest(CMC_Setup* setup, int flag, CWnd* parent);
};
