// The library's single application object: created when the library loads, destroyed when it
// unloads. It has no behaviour of its own; initialisation, resources and shutdown are the
// framework's defaults.
#pragma once

class CKestrelApp {
 public:
  CKestrelApp() = default;
};
