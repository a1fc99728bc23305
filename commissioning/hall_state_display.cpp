#include "commissioning/hall_state_display.h"

#include <array>
#include <string>

#include "ui/wnd.h"

namespace {

struct HallState {
  std::string_view text;
  int slice;
};

// States 1 … 6 in order.
constexpr std::array<HallState, 6> kStates{{{"001", 0}, {"010", 2}, {"011", 1}, {"100", 4}, {"101", 5}, {"110", 3}}};

bool IsValid(int state) { return state >= 1 && state <= 6; }

}  // namespace

HallStateDisplay::HallStateDisplay(CWnd& dialog, int textId, CHallDiagram& diagram)
    : dialog_(dialog), textId_(textId), diagram_(diagram) {}

void HallStateDisplay::Reset() {
  last_ = -1;
  diagram_.Reset();
  dialog_.SetDlgItemText(textId_, "");
  diagram_.Repaint();
}

void HallStateDisplay::Show(int state) {
  if (state == last_) return;
  for (int slice = 0; slice < CHallDiagram::kSlices; ++slice) {
    if (diagram_.Status(slice) == CHallDiagram::kCurrent) diagram_.SetStatus(slice, CHallDiagram::kVisited);
  }
  Present(state);
}

void HallStateDisplay::Mark(int state) {
  if (state == last_) return;
  Present(state);
}

void HallStateDisplay::Present(int state) {
  last_ = state;
  dialog_.SetDlgItemText(textId_, std::string(Text(state)));
  diagram_.SetStatus(Slice(state), CHallDiagram::kCurrent);
  diagram_.Repaint();
}

std::string_view HallStateDisplay::Text(int state) {
  return IsValid(state) ? kStates[static_cast<std::size_t>(state - 1)].text : std::string_view{};
}

int HallStateDisplay::Slice(int state) {
  return IsValid(state) ? kStates[static_cast<std::size_t>(state - 1)].slice : -1;
}
