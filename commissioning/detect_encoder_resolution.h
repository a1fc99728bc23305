// The encoder resolution and direction tests (templates 292, 3067): the drive aligns the rotor
// (the preliminary stage), then turns the field one mechanical revolution (one pole pitch on a
// linear motor) under the test current. The position counter's final count tells the counting
// direction and, against the standard line counts, the encoder's lines per revolution (a linear
// encoder's resolution), which the test offers to save.
//
// Steps: 0/1 the preliminary program, 2/3 the resolution program, 4 following it while the axis
// is on (10 ms ticks), 5 processing its final count.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commissioning/hall_state_display.h"
#include "commissioning/index_capture.h"
#include "commissioning/my_test_dlg.h"
#include "dialogs/test_maker.h"
#include "drivebase/diagrams.h"
#include "drivebase/parameter.h"

class CDetectEncoderResolution : public CMyTestDlg, public kestrel::CountingDirectionReport {
 public:
  CDetectEncoderResolution(CMC_Setup* setup, CWnd* parent);
  ~CDetectEncoderResolution() override;

  static constexpr unsigned kTemplateId = 292;
  static constexpr unsigned kHelpContext = 262414;
  static constexpr int kEncoderDiagram = 1024;
  static constexpr int kPhaseDiagram = 1025;
  static constexpr int kHallDiagram = 1026;
  static constexpr int kLinesEdit = 1021;
  static constexpr int kPolePairsEdit = 3126;
  static constexpr int kHallStateEdit = 3130;
  static constexpr int kPositionEdit = 3131;
  static constexpr int kIndexEdit = 3133;
  static constexpr int kIndexLabel = 3343;
  static constexpr int kReverseCountingCheck = 3357;
  static constexpr int kResolutionLabel = 3350;
  static constexpr int kResolutionUnit = 3351;
  static constexpr int kResolutionEdit = 3352;
  static constexpr std::array<const char*, 6> kTexts{
      "Launching code for the preliminary test",
      "Running preliminary test",
      "Launching code for the encoder resolution and direction test",
      "Waiting for the test to complete",
      "Processing test results",
      "Test finished",
  };
  static constexpr const char* kNotTurningText =
      "Check if during test the motor shaft is turning. If YES, check the encoder connections and power supply, "
      "otherwise, check the motor phases connection, if these are OK, try also to increase the test current.";
  static constexpr const char* kReversedText =
      "Check if during test the motor shaft is turning. If YES, the encoder connections or, motor phases are wrongly "
      "connected. Change the Reverse encoder counting checkbox or switch any two of the motor phase connections to "
      "the drive, or the A and B encoder channels. Otherwise, check the motor phase connections. If these are OK, try "
      "also to increase the test current.";
  static constexpr const char* kReversedSinCosText =
      "Check if during test the motor shaft is turning. If YES, the encoder connections or, motor phases are wrongly "
      "connected. Switch any two of the motor phase connections to the drive, or the A and B encoder channels, "
      "otherwise, check the motor phases connection, if these are OK, try also to increase the test current.";
  static constexpr unsigned kFollowPeriodMs = 10;

  void BeginTest() override;
  std::vector<TestResultLine> ResultLines() const override;
  void OnChangedParameterValue(const std::string& name) override;

  // The reverse-counting value the user chose in the dialog (internal units), −1 when unchanged.
  int RememberedReverseCounting() const override { return rememberedReverse_; }
  // The lines per revolution estimated from the final count (rotary members).
  long EstimatedLines() const { return estimated_; }
  // The resolution found (base unit; linear members), 0 before a success.
  double FoundResolution() const { return resolution_; }
  bool Moved() const { return moved_; }
  const std::string& PreliminaryProgram() const { return preliminaryProgram_; }
  const std::string& ResolutionProgram() const { return mainProgram_; }
  const CEncoderDiagram& EncoderDiagram() const { return encoder_; }
  const CLinearEncoderDiagram& LinearDiagram() const { return linear_; }
  const CPhaseDiagram& PhaseDiagram() const { return phase_; }
  const IndexCapture& Index() const { return index_; }

 protected:
  // The members differ in the sensor (incremental, or sine/cosine with its interpolation bits)
  // and the motor (rotary, or linear: one pole pitch, the resolution as result).
  struct Variant {
    unsigned templateId;
    bool sinCos;
    bool linear;
  };
  CDetectEncoderResolution(CMC_Setup* setup, CWnd* parent, Variant variant);
  static std::string MemberProgram(const CMC_Setup* setup, Variant variant, std::string_view baseName);

  bool OnInitDialog() override;
  void OnCancel() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Tick();
  bool LaunchResolutionProgram();
  void FollowProgram();
  void FollowMotion();
  void FinishResolutionProgram();
  void JudgeRotaryCount(long count);
  void JudgeLinearCount(long count);
  // The program's count in encoder lines × 4 (a sine/cosine count without its interpolation).
  double Count(double reported) const;
  void CloseRotary();
  void CloseLinear();
  bool HasReverseCounting() const;

  Variant variant_;
  std::string preliminaryProgram_, mainProgram_;
  CMC_CoffFormat preliminaryImage_, mainImage_;
  PreliminaryReferences references_;
  long lines_ = 0;         // No_encoder_lines at opening
  int interpolationBits_;  // SINCOS_fract of a sine/cosine encoder, else 0
  int testCurrent_ = 0;    // internal units, taken at Start
  long estimated_ = 0;
  double resolution_ = 0.0;
  bool moved_ = false;
  int rememberedReverse_ = -1;
  std::optional<CMC_Parameter> resolutionCopy_;
  CEncoderDiagram encoder_;
  CLinearEncoderDiagram linear_;
  CPhaseDiagram phase_;
  std::unique_ptr<CHallDiagram> hallDiagram_;
  std::unique_ptr<HallStateDisplay> hallState_;
  IndexCapture index_;
};

class CDetectEncoderResolution2 : public CDetectEncoderResolution {
 public:
  CDetectEncoderResolution2(CMC_Setup* setup, CWnd* parent);
};

class CDetectEncoderResolution_lin : public CDetectEncoderResolution {
 public:
  CDetectEncoderResolution_lin(CMC_Setup* setup, CWnd* parent);
  static constexpr unsigned kTemplateId = 3067;
};

class CDetectEncoderResolution2_lin : public CDetectEncoderResolution {
 public:
  CDetectEncoderResolution2_lin(CMC_Setup* setup, CWnd* parent);
};
