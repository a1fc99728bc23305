// The state of the three digital Hall signals as the encoder and Hall tests show it: its text in an
// edit of the dialog ("011": Hall 1, Hall 2, Hall 3 from left to right) and its slice of the Hall
// diagram. The state is the code 1 … 6 of the three signals, Hall 1 the bit of value 4.
#pragma once

#include <string_view>

#include "drivebase/diagrams.h"

class CWnd;

class HallStateDisplay {
 public:
  HallStateDisplay(CWnd& dialog, int textId, CHallDiagram& diagram);

  // A new run: no state seen yet, the diagram's slices cleared and the text emptied.
  void Reset();

  // A state read from the drive. When it differs from the last one the slice shown as current
  // becomes visited, the state's text is shown and its slice becomes the current one; the
  // diagram is repainted. A state outside 1 … 6 shows no text and marks no slice.
  void Show(int state);

  // As Show, but the slices marked earlier stay current: the Hall configuration test marks every
  // state that its sweep passes.
  void Mark(int state);

  // "001" … "110" for the states 1 … 6, empty for any other.
  static std::string_view Text(int state);
  // The diagram slice of a state (state 1 lies in slice 0, 3 in slice 1, 2 in 2, 6 in 3, 4 in
  // 4, 5 in 5); −1 for a state outside 1 … 6.
  static int Slice(int state);

 private:
  void Present(int state);

  CWnd& dialog_;
  int textId_;
  CHallDiagram& diagram_;
  int last_ = -1;
};
