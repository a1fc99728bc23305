// The templates of the plug-in's dialogs, compiled into the plug-in and handed to the dialog
// framework's template library before a dialog first opens.
#pragma once

namespace kestrel {

// Adds the templates of the plug-in's dialogs (Drive Setup 106, Motor Setup 108, Advanced 110,
// External Reference Setup 111, Drive info 3018, Filters 3072) to the process's template library;
// later calls change nothing. A faulty template throws ui::TemplateError.
void RegisterDialogTemplates();

}  // namespace kestrel
