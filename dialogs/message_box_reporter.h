// The computation engine's reports shown as the dialog framework's error boxes, for the plug-in's
// dialogs and the host's commands: ComputeAllRegisters(setup, kestrel::MessageBoxReporter()).
// Header only; a target that includes it links the dialog framework (ui).
#pragma once

#include <string>

#include "compute/compute_reporter.h"
#include "ui/message_box.h"

namespace kestrel {

class MessageBoxReporter final : public ComputeReporter {
 public:
  void ReportError(const std::string& message) const override { AfxMessageBox(message, MB_ICONERROR); }
};

}  // namespace kestrel
