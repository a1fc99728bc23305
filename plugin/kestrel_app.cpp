#include "plugin/kestrel_app.h"

namespace {

// The one application object of the loaded library.
[[maybe_unused]] CKestrelApp theApp;

}  // namespace
