#include "ui/session.h"

namespace ui {

HeadlessSession::HeadlessSession()
    : loop_(boxes_), previousLoop_(CurrentEventLoop()), previousPresenter_(CurrentMessageBoxPresenter()) {
  SetCurrentEventLoop(&loop_);
  SetMessageBoxPresenter(&boxes_);
}

HeadlessSession::~HeadlessSession() {
  SetCurrentEventLoop(&previousLoop_);
  SetMessageBoxPresenter(&previousPresenter_);
}

}  // namespace ui
