// CBarGraph: the host's bar graph control, a horizontal bar between a lower and an upper end that
// shows one value (a measured phase current against the test current, say). It takes the place
// of a dialog's bar graph placeholder (a "progress" control, SubclassDlgItem). Headless, its state
// is what a test inspects: the range, the value and how often it was repainted; the placeholder
// window mirrors range and value in thousandths, which the graphical front end draws.
#pragma once

#include "ui/wnd.h"

class CBarGraph : public CWnd {
 public:
  // The ends of the bar (either order) and the value it shows; shown at the next Repaint.
  void SetRange(double lower, double upper);
  void SetValue(double value);
  double Lower() const { return lower_; }
  double Upper() const { return upper_; }
  double Value() const { return value_; }

  // Draws the bar anew with the range and value set; the placeholder shows them when attached.
  void Repaint();
  unsigned Repaints() const { return repaints_; }

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;

 private:
  double lower_ = 0.0;
  double upper_ = 1.0;
  double value_ = 0.0;
  unsigned repaints_ = 0;
};
