// The tests of linear (analogue) Hall sensors, motor or load side, opened from Motor Setup.
// After the preliminary alignment the drive turns the motor while the test samples the three
// analogue Hall voltages (AD6, AD3 and AD8 or AD9) in one loop that keeps the dialog responsive,
// plots each on its own strip and shows the present values.
//
// - CTestLHHallSignals (template 3061): each signal must swing by more than 1 V from its first
//   sample; the user stops the run.
// - CDetectHallGainOffset (template 3062): the drive identifies the offsets, gains and spacing
//   of the three signals; the test copies them into the setup's calibration.
//
// The drive has one set of analogue Hall inputs and one calibration (HALLAOFF … ZAOFF, without
// load twins): a load-side test works on the same inputs and parameters; the side chooses the
// drive's linear variant by whether the load moves linearly (TransmissionType 1 or 3) rather
// than the motor (2 or 3).
//
// Steps: 0/1 the preliminary program, 2/3 the test program, 4 the sampling loop; the gains test
// then 5, copying the calibration.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "commissioning/sensor_side.h"
#include "drivebase/graph.h"
#include "drivebase/scope_logger.h"

namespace kestrel {

// A signal whose voltage differs from its reference by more than 1 V has changed.
bool HallVoltageChanged(double volts, double reference_V);

}  // namespace kestrel

class CLinearHallTest : public CMyTestDlg {
 public:
  ~CLinearHallTest() override;

  static constexpr std::array<int, 3> kStrips{3352, 3353, 3354};          // Hall A, B, C
  static constexpr std::array<int, 3> kStripColours{4, 1, 16};           // palette entries
  static constexpr std::array<int, 3> kVoltageEdits{1029, 1030, 1031};    // Hall A, B, C
  static constexpr std::array<int, 3> kLabelPictures{3355, 3359, 3358};   // Hall A, B, C
  static constexpr std::array<const char*, 3> kLabelBitmaps{"3059", "3068", "3067"};
  static constexpr double kStripMin_V = -1.0;
  static constexpr double kStripMax_V = 6.0;
  static constexpr double kInputRange_V = 5.0;  // the ADC's full scale
  static constexpr int kShowEvery = 10;         // samples between two updates of the edits

  void BeginTest() override;
  kestrel::SensorSide Side() const { return side_; }
  const CMC_Oscilloscope& Strip(std::size_t channel) const { return strips_[channel]; }
  const std::string& PreliminaryProgram() const { return preliminaryProgram_; }
  const std::string& TestProgram() const { return mainProgram_; }

 protected:
  using Voltages = std::array<double, 3>;
  // Per sample: false ends the loop.
  using SampleHandler = std::function<bool(const Voltages&)>;

  CLinearHallTest(CMC_Setup* setup, kestrel::SensorSide side, unsigned templateId, std::string mainProgram,
                  std::span<const char* const> texts, std::string purpose, CWnd* parent);
  bool OnInitDialog() override;
  const ui::MessageMap* GetMessageMap() const override;

  // The test's own state at Start, and its program's inputs beyond RefTest and RIncTest.
  virtual void ResetRun() = 0;
  virtual std::vector<ProgramInput> ExtraInputs() const { return {}; }
  // The sampling loop's work, once the test program runs (step 4).
  virtual void Sample() = 0;
  // Samples until the run ends, the user stops it, or the handler says so; each pass checks the
  // drive errors of the mask, reads the three voltages, plots them, shows them every tenth pass
  // and lets pending messages through. False when the run failed or ended meanwhile.
  bool SampleVoltages(std::uint16_t mask, const SampleHandler& handle);
  std::span<const char* const> Texts() const { return texts_; }

  CMC_CoffFormat mainImage_;  // the test program's

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchTestProgram();
  bool ReadVoltages(Voltages& volts);
  void ShowVoltages(const Voltages& volts);

  kestrel::SensorSide side_;
  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_;
  std::span<const char* const> texts_;
  std::string purpose_;
  PreliminaryReferences references_;
  int testCurrent_ = 0;  // internal units, taken at Start
  std::array<CMC_Oscilloscope, 3> strips_;
  std::array<std::unique_ptr<CGraphWindow>, 3> stripWindows_;
};

class CTestLHHallSignals : public CLinearHallTest {
 public:
  CTestLHHallSignals(CMC_Setup* setup, kestrel::SensorSide side, CWnd* parent);
  CTestLHHallSignals(CMC_Setup* setup, CWnd* parent) : CTestLHHallSignals(setup, kestrel::SensorSide::motor, parent) {}

  static constexpr unsigned kTemplateId = 3061;
  static constexpr unsigned kHelpContext = 262415;
  static constexpr std::uint16_t kSamplingMask = 0x0002;   // short circuit
  static constexpr std::uint16_t kStoppedMask = 0x0022;    // short circuit and Hall missing
  static constexpr std::array<const char*, 4> kTexts{
      "Launching code for the preliminary test",
      "Running the preliminary test",
      "Launching code for the Hall configuration detection test",
      "Running the test",
  };
  static constexpr const char* kBadSignalText = "HALL BAD";
  static constexpr const char* kUnchangedText =
      "At least one Hall sensor output does not change. Check the Hall sensors connections.";

  std::vector<TestResultLine> ResultLines() const override;
  // Without a screen: the drive turns the motor; the user stops after the alignment and a
  // couple of electrical turns.
  double UnattendedRun_s() const override { return 5.0; }
  const std::array<bool, 3>& Changed() const { return changed_; }

 private:
  void ResetRun() override;
  std::vector<ProgramInput> ExtraInputs() const override { return {{"run_test", 1.0}}; }
  void Sample() override;

  bool firstSample_ = true;
  Voltages reference_V_{};
  std::array<bool, 3> changed_{};
};

class CDetectHallGainOffset : public CLinearHallTest {
 public:
  CDetectHallGainOffset(CMC_Setup* setup, kestrel::SensorSide side, CWnd* parent);
  CDetectHallGainOffset(CMC_Setup* setup, CWnd* parent)
      : CDetectHallGainOffset(setup, kestrel::SensorSide::motor, parent) {}

  static constexpr unsigned kTemplateId = 3062;
  static constexpr unsigned kHelpContext = 262421;
  static constexpr std::array<const char*, 5> kTexts{
      "Launching code for the preliminary test",
      "Running the preliminary test",
      "Launching code for the Hall configuration detection test",
      "Running the test",
      "Computing data",
  };
  static constexpr const char* kSignalMissingText =
      "One Linear Hall signal is missing.\nPlease check the Hall signals connections to the drive and repeat the "
      "test. If the test fails and the connections are OK, increase the test current value.";
  static constexpr const char* kWrongSequenceText = "Switch any two motor phases or two Linear Hall signals.";
  // The drive's calibration results and the setup parameters they are copied to, in order.
  struct CalibrationCopy {
    const char* variable;
    const char* parameter;
  };
  static constexpr std::array<CalibrationCopy, 8> kCalibration{{{"ALPHA", "ALPHA"},
                                                                {"KSLIP", "HALLCGAIN"},
                                                                {"SFTCWEAK", "HALLCOFF"},
                                                                {"AD3OFF", "HALLBOFF"},
                                                                {"AD6OFF", "HALLAOFF"},
                                                                {"SRECTCOMP", "HALLAGAIN"},
                                                                {"SIN2REC", "HALLBGAIN"},
                                                                {"ZAOFF", "ZAOFF"}}};

  std::vector<TestResultLine> ResultLines() const override;

 protected:
  // The calibration is in the setup as soon as it is found: closing always keeps it.
  void OnCancel() override;

 private:
  void ResetRun() override { status_ = 0; }
  void Sample() override;
  void CopyCalibration();

  int status_ = 0;  // the drive's HALLCASE while the program runs: 0 running, 1 done, −1, −2 failed
};
