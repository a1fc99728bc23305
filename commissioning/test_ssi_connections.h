// The serial absolute encoder's connection test (template 3063), motor or load side as the opener
// passes it: the drive runs a monitoring program with the axis off while the user turns the shaft
// by hand; the dialog shows the encoder's position and turns a dial with it. The user's Stop
// passes the test once the position within one revolution has changed to a non-zero value.
//
// The side decides both the bits per revolution (SSI_No_Bits_Revolution, or its _LD twin) and the
// position read (APOS_MT, or APOS_LD).
//
// Steps: 0/1 the monitoring program, 2 following the position (20 ms ticks) until Stop.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/my_test_dlg.h"
#include "commissioning/sensor_side.h"
#include "commissioning/test_encoder_connections.h"
#include "drivebase/diagrams.h"

class CTestSSIEncoderConnections : public CMyTestDlg {
 public:
  CTestSSIEncoderConnections(CMC_Setup* setup, kestrel::SensorSide side, CWnd* parent);
  CTestSSIEncoderConnections(CMC_Setup* setup, CWnd* parent)
      : CTestSSIEncoderConnections(setup, kestrel::SensorSide::motor, parent) {}

  static constexpr unsigned kTemplateId = 3063;
  static constexpr unsigned kHelpContext = 262423;
  static constexpr int kPositionEdit = 3131;
  static constexpr int kEncoderDiagram = 1024;
  static constexpr const char* kProgram = "SSI_Encoder_Connection_Test";
  static constexpr std::array<const char*, 2> kTexts{"Launching code for test", "Running test"};
  static constexpr std::uint16_t kErrorMask = 0x0022;  // short circuit and Hall sensor missing
  static constexpr const char* kNoPulsesText = CTestEncoderConnections::kNoPulsesText;

  void BeginTest() override;
  void OnBtnStartStop() override;
  double UnattendedRun_s() const override { return 3.0; }
  std::optional<HandMove> UnattendedHandMove() const override;
  // The position shown at the end, and within one revolution.
  std::vector<TestResultLine> ResultLines() const override;

  const char* PositionVariable() const;
  const CEncoderDiagram& Diagram() const { return diagram_; }

 protected:
  bool OnInitDialog() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void FollowPosition();

  kestrel::SensorSide side_;
  long countsPerRevolution_;  // 2^B
  std::optional<long> modulo_;  // the position within one revolution at the last tick of the run
  bool pulsesSeen_ = false;
  CEncoderDiagram diagram_;
};
