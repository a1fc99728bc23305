// CBarGraph: the host's bar graph control, a horizontal bar between a lower and an upper end that
// shows one value (a measured phase current against the test current, say), drawn in its colour
// from its reference (the lower end unless set) to the value, with the value printed in its
// format beside it. It takes the place
// of a dialog's bar graph placeholder (a "progress" control, SubclassDlgItem). Headless, its state
// is what a test inspects: the range, the value and how often it was repainted; the placeholder
// window mirrors range and value in thousandths, which the graphical front end draws.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "ui/win_types.h"
#include "ui/wnd.h"

class CBarGraph : public CWnd {
 public:
  // The ends of the bar (either order) and the value it shows; shown at the next Repaint.
  void SetRange(double lower, double upper);
  void SetValue(double value);
  double Lower() const { return lower_; }
  double Upper() const { return upper_; }
  double Value() const { return value_; }
  // Where the bar starts: the value at which it has no length.
  void SetReference(double reference) { reference_ = reference; }
  double Reference() const { return reference_.value_or(std::min(lower_, upper_)); }
  void SetColour(COLORREF colour) { colour_ = colour; }
  COLORREF Colour() const { return colour_; }
  // The printf format of the value's text ("%.2f"); the text is empty without one.
  void SetValueFormat(std::string format) { format_ = std::move(format); }
  std::string ValueText() const;

  // Draws the bar anew with the range and value set; the placeholder shows them when attached.
  void Repaint();
  unsigned Repaints() const { return repaints_; }

 protected:
  bool CanAttachTo(ui::ControlKind kind) const override;

 private:
  double lower_ = 0.0;
  double upper_ = 1.0;
  double value_ = 0.0;
  std::optional<double> reference_;
  COLORREF colour_ = RGB(0, 0, 255);
  std::string format_;
  unsigned repaints_ = 0;
};
