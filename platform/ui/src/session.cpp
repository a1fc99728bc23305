#include "ui/session.h"

namespace ui {

HeadlessSession::HeadlessSession(ui::Clock* clock)
    : loop_(boxes_, clock), previousLoop_(CurrentEventLoop()), previousPresenter_(CurrentMessageBoxPresenter()) {
  SetCurrentEventLoop(&loop_);
  SetMessageBoxPresenter(&boxes_);
}

HeadlessSession::~HeadlessSession() {
  SetCurrentEventLoop(&previousLoop_);
  SetMessageBoxPresenter(&previousPresenter_);
}

}  // namespace ui
