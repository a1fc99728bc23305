// Rows of a dialog's binding tables: which parameter goes to which controls.
#pragma once

namespace kestrel::dialogs {

struct EditBinding {
  const char* name;
  int edit;
  int unit;  // the unit combo; 0: none
};

struct RadioBinding {
  const char* name;
  int first;  // the radio of index 0
  int last;
};

struct CheckBinding {
  const char* name;
  int check;
};

struct ComboBinding {
  const char* name;
  int combo;
};

}  // namespace kestrel::dialogs
