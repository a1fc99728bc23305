// The displays of the digital Hall tests: the motor position as an encoder angle (rotary motor)
// or as a position along the pole pitch (linear motor), the electrical angle of the test
// current, the six Hall slices and the Hall state text. Each diagram takes the place of its
// placeholder in the test's template.
#pragma once

#include "commissioning/hall_state_display.h"
#include "drivebase/diagrams.h"
#include "drivebase/setup.h"

class HallTestDisplays {
 public:
  static constexpr int kPositionDiagram = 1024;
  static constexpr int kPhaseDiagram = 1025;
  static constexpr int kHallDiagram = 1026;
  static constexpr int kHallStateEdit = 3130;
  static constexpr int kPositionEdit = 3131;

  HallTestDisplays(CWnd& dialog, bool linear);

  // Takes the placeholders: the position and Hall diagrams, and the phase diagram when asked.
  void Attach(bool withPhase);
  // A new run: every diagram at its start (angles 0, position 0 within ± one pole pitch in
  // encoder counts for a linear motor), no Hall state seen.
  void Reset(const CMC_Setup* setup);

  bool Linear() const { return linear_; }
  // The motor's position: an encoder angle (rad) for a rotary motor, encoder counts for a
  // linear one.
  void ShowEncoderAngle(double angle_rad);
  void ShowLinearPosition(double counts);
  void ShowPhaseAngle(double angle_rad);
  HallStateDisplay& State() { return state_; }

  const CEncoderDiagram& Encoder() const { return encoder_; }
  const CLinearEncoderDiagram& LinearEncoder() const { return linearEncoder_; }
  const CPhaseDiagram& Phase() const { return phase_; }
  const CHallDiagram& Halls() const { return linear_ ? linearHalls_ : halls_; }

 private:
  CWnd& dialog_;
  bool linear_;
  CEncoderDiagram encoder_;
  CLinearEncoderDiagram linearEncoder_;
  CPhaseDiagram phase_;
  CHallDiagram halls_;
  CLinearHallDiagram linearHalls_;
  HallStateDisplay state_;
};

namespace kestrel {

// Encoder counts along one pole pitch of a linear motor: PolePitch ÷ Resolution (internal
// units), truncated; 0 when either is missing or the resolution is not positive.
double CountsPerPolePitch(const CMC_Setup* setup);

}  // namespace kestrel
