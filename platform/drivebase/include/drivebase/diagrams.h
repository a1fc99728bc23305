// The host's display controls of the encoder and Hall sensor tests. Each takes the place of a
// static placeholder of the dialog's template (SubclassDlgItem). Headless, a diagram's state is
// what a test inspects and what the graphical front end draws: an angle on a circle (encoder,
// test current), a position between two limits (linear encoder), or the six slices of one
// electrical turn that the Hall states mark (Hall sensors).
#pragma once

#include <array>
#include <string_view>

#include "ui/wnd.h"

// What every diagram shares: the placeholder it draws on and the count of repaints.
class CDiagram : public CWnd {
 public:
  // "encoder", "linear encoder", "phase", "hall", "linear hall": the drawing a front end makes.
  virtual std::string_view Shape() const = 0;

  // Draws the diagram anew with the state set (RedrawWindow of the placeholder when attached).
  void Repaint();
  unsigned Repaints() const { return repaints_; }

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;

 private:
  unsigned repaints_ = 0;
};

// An angle on a circle, 0 at the top, positive counter-clockwise; any real value, shown modulo
// one turn.
class CAngleDiagram : public CDiagram {
 public:
  void SetTheta(double theta_rad);
  double Theta() const { return theta_rad_; }

 private:
  double theta_rad_ = 0.0;
};

// The encoder's angle within one revolution.
class CEncoderDiagram : public CAngleDiagram {
 public:
  std::string_view Shape() const override { return "encoder"; }
};

// The electrical angle of the test current.
class CPhaseDiagram : public CAngleDiagram {
 public:
  std::string_view Shape() const override { return "phase"; }
};

// A linear encoder's position between two limits (counts); the position may leave them.
class CLinearEncoderDiagram : public CDiagram {
 public:
  std::string_view Shape() const override { return "linear encoder"; }
  void SetLimits(double lower, double upper);
  void SetPosition(double position);
  double Lower() const { return lower_; }
  double Upper() const { return upper_; }
  double Position() const { return position_; }

 private:
  double lower_ = -1.0;
  double upper_ = 1.0;
  double position_ = 0.0;
};

// The six 60° slices of one electrical turn, each marked by the Hall state that lies in it.
class CHallDiagram : public CDiagram {
 public:
  enum SliceStatus { kNotSeen = 0, kVisited = 1, kCurrent = 2 };
  static constexpr int kSlices = 6;

  std::string_view Shape() const override { return "hall"; }
  // Every slice back to not seen.
  void Reset();
  // Slices outside 0 … 5 are ignored.
  void SetStatus(int slice, SliceStatus status);
  SliceStatus Status(int slice) const;
  const std::array<SliceStatus, kSlices>& Statuses() const { return statuses_; }

 private:
  std::array<SliceStatus, kSlices> statuses_{};
};

// The same six slices along one pole pitch of a linear motor.
class CLinearHallDiagram : public CHallDiagram {
 public:
  std::string_view Shape() const override { return "linear hall"; }
};

// The line counts that incremental encoders are sold with, and the nearest of them to a measured
// count.
class CResolution {
 public:
  // The standard line count nearest to |lines|, with the sign of lines; of two equally near the
  // smaller one.
  static long FindBestResolution(long lines);
  // The standard line count at index (0: the smallest); 0 beyond the list.
  static long GetResolution(int index);
  static int Count();
};
