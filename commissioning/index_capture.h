// The encoder's index capture as the encoder tests use it: armed once per run after the first
// pulses (the drive then stores the counter at the next index edge), read at every tick and shown
// as the counter value captured, or "not detected" while nothing has been captured.
#pragma once

#include <string>

#include "drivebase/setup.h"

class CMyTestDlg;

class IndexCapture {
 public:
  // The capture of the sensor on the feedback input `connector` (0 or 1). An input 1 sensor
  // has an index only when the setup option isIndex2 is set.
  IndexCapture(const CMC_Setup* setup, int connector);

  bool Applies() const { return applies_; }
  // A new run: not armed.
  void Reset() { armed_ = false; }
  bool Armed() const { return armed_; }
  // Arms the capture of the input unless armed in this run already; false when the drive did
  // not take the command (the reason is CMC_Comm::GetLastErrorText).
  bool ArmOnce(CMC_Setup& setup);
  // The drive variable that holds the capture of the input: CAPPOS (input 0), CAPPOS2 (input 1).
  const char* CaptureVariable() const { return connector_ == 0 ? "CAPPOS" : "CAPPOS2"; }

  // "%d" of the captured counter, or "not detected" for 0.
  static std::string Text(int captured);

 private:
  int connector_;
  bool applies_;
  bool armed_ = false;
};
