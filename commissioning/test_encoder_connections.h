// The encoder connection tests (templates 291, 3070, 3060): the drive runs a monitoring program
// with the axis off while the user turns the shaft (or moves the linear motor) by hand. The dialog
// follows the position counter, the encoder's angle or position, the digital Hall state and the
// index capture; the user's Stop passes the test when encoder pulses were seen.
//
// Steps: 0/1 the monitoring program, 2 following the counters (20 ms ticks), 3 after Stop.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commissioning/hall_state_display.h"
#include "commissioning/index_capture.h"
#include "commissioning/my_test_dlg.h"
#include "drivebase/diagrams.h"

// One encoder as the connection tests show it: its counter in an edit and a diagram, an angle
// within one revolution (rotary) or a position between limits (linear).
class EncoderCounterView {
 public:
  struct Layout {
    const char* counter;  // the drive variable: APOS_MT, APOS_LD
    int editId;
    int diagramId;
    bool linear;
    long countsPerRevolution;  // 4 × lines (rotary): the counter is shown modulo this
    double countsPerHalfTurn;  // 2 × lines × 2^interpolation bits: the angle's scale (rotary)
    double limit;              // |limits| of a linear diagram at the start of a run
    bool widens;               // a linear diagram's limits follow the farthest position seen
  };
  explicit EncoderCounterView(const Layout& layout) : layout_(layout) {}

  void Attach(CWnd& dialog);
  // A new run: angle 0, or position 0 within the starting limits.
  void Reset();
  // A counter read (internal units): the text and diagram follow it. True when what is shown
  // changed (the modulo of a rotary counter, the count of a linear one).
  bool Show(CWnd& dialog, double counter);

  const Layout& GetLayout() const { return layout_; }
  const CEncoderDiagram& Rotary() const { return rotary_; }
  const CLinearEncoderDiagram& Linear() const { return linear_; }

 private:
  Layout layout_;
  std::optional<long> shown_;
  CEncoderDiagram rotary_;
  CLinearEncoderDiagram linear_;
};

class CTestEncoderConnections : public CMyTestDlg {
 public:
  CTestEncoderConnections(CMC_Setup* setup, CWnd* parent);
  ~CTestEncoderConnections() override;

  static constexpr unsigned kTemplateId = 291;
  static constexpr unsigned kHelpContext = 262413;
  static constexpr int kMotorDiagram = 1024;
  static constexpr int kPhaseDiagram = 1025;
  static constexpr int kHallDiagram = 1026;
  static constexpr int kHallStateEdit = 3130;
  static constexpr int kPositionEdit = 3131;
  static constexpr int kLoadPositionEdit = 3132;
  static constexpr int kIndexEdit = 3133;
  static constexpr int kIndexLabel = 3343;
  static constexpr std::array<const char*, 3> kTexts{"Launching code for test", "Running test", "Test finished"};
  static constexpr const char* kNoPulsesText =
      "No encoder pulses have been detected.\r\nCheck the encoder connection and power supply.";

  void BeginTest() override;
  void OnBtnStartStop() override;
  double UnattendedRun_s() const override { return 3.0; }
  std::optional<HandMove> UnattendedHandMove() const override;
  // What the dialog shows at the end: each counter, the index position where it applies.
  std::vector<TestResultLine> ResultLines() const override;

  const std::string& Program() const { return program_; }
  bool PulsesSeen() const { return pulsesSeen_; }
  bool ShowsHalls() const { return hallDiagram_ != nullptr; }
  const IndexCapture& Index() const { return index_; }
  const EncoderCounterView& Encoder(std::size_t index) const { return *encoders_.at(index); }
  const CHallDiagram* HallDiagram() const { return hallDiagram_.get(); }
  const CPhaseDiagram& PhaseDiagram() const { return phase_; }

 protected:
  // The members: their template, program, encoders, whether Halls are shown (linear slices for
  // a linear motor) and the feedback input of the index.
  CTestEncoderConnections(CMC_Setup* setup, CWnd* parent, unsigned templateId, std::string program,
                          std::vector<EncoderCounterView::Layout> encoders, bool halls, bool linearHalls,
                          int indexConnector);
  bool OnInitDialog() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void FollowCounters();

  std::string program_;
  std::vector<std::unique_ptr<EncoderCounterView>> encoders_;  // diagrams stay where they were attached
  std::unique_ptr<CHallDiagram> hallDiagram_;
  std::unique_ptr<HallStateDisplay> hallState_;
  CPhaseDiagram phase_;
  IndexCapture index_;
  bool pulsesSeen_ = false;
};

class CTestEncoderConnections_lin : public CTestEncoderConnections {
 public:
  CTestEncoderConnections_lin(CMC_Setup* setup, CWnd* parent);
  static constexpr unsigned kTemplateId = 3070;
};

// Motor and load encoders of a dual-loop setup: each rotary or linear by the transmission.
class CTestEncoderLdConnections : public CTestEncoderConnections {
 public:
  CTestEncoderLdConnections(CMC_Setup* setup, CWnd* parent);
  static constexpr unsigned kTemplateId = 3060;
  static constexpr int kLoadDiagram = 1025;
  static constexpr int kLinearMotorDiagram = 1027;
  static constexpr int kLinearLoadDiagram = 1028;
  // Every diagram place of the template: those of the kinds the setup does not have stay hidden.
  static constexpr std::array<int, 4> kDiagramPlaces{kMotorDiagram, kLoadDiagram, kLinearMotorDiagram,
                                                     kLinearLoadDiagram};
};
