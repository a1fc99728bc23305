// A dialog script with what it expects of the setup, written in its leading comments:
//
//   # setup: resolver                  the shipped setup it runs on (default: default)
//   # dialog: motor                    Motor Setup alone, as Drive Setup opens it (default: drive);
//                                      advanced, reference, info, filters: alone with the
//                                      computations of its opener; filters online: the Filters
//                                      dialog as a tuning test opens it with the drive online
//   # ends: cancel                     the end code of the dialog (default: ok)
//   # after: Axis_ID_list = 300        a value (base unit) after the run, to 1e-9 relative
//   # after: Kp_C_scl unchanged        a value as it was before the run
//   # after: MAX_CURRENT.max = 3.2     a limit (.min or .max), in the base unit
//   # after: setup unchanged           every value, limit and option as before the run
//   # before: isSWLS = 1               a value (or NAME.min, NAME.max a limit) set before the dialog opens (the registers are
//                                      then computed from the values, as a host's setup holds them)
//   # option: ResolverFixedCounts = 4096   an option set before the dialog opens
//   # boxes: 1                         how many message boxes the run shows
//   # before identity: e2romSize = 16000   a field of the drive's identity set before the dialog opens
//   # after identity: product = KD9    the field's text after the run (firmware, product,
//                                      application, description, e2romSize)
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "drivebase/setup.h"

namespace kestrel::dialogs_test {

struct ValueCheck {
  std::string name;
  bool unchanged = false;  // else: equal to value
  double value = 0.0;
};

struct ScriptCase {
  std::filesystem::path file;
  std::string setup = "default";
  std::string dialog = "drive";
  int endCode = 1;
  std::vector<ValueCheck> before;  // values to set
  std::vector<ValueCheck> after;
  bool setupUnchanged = false;
  std::vector<std::pair<std::string, std::string>> options;
  int boxes = -1;  // -1: not checked
  std::vector<std::pair<std::string, std::string>> identityBefore;
  std::vector<std::pair<std::string, std::string>> identityAfter;
};

// A field of the drive's identity as text; throws std::invalid_argument for an unknown field.
std::string IdentityField(const CMC_Setup& setup, const std::string& field);
void SetIdentityField(CMC_Setup& setup, const std::string& field, const std::string& text);

// Names the case by its script in test output.
inline void PrintTo(const ScriptCase& scriptCase, std::ostream* out) { *out << scriptCase.file.filename(); }

// Reads the directives of a script; throws std::runtime_error naming the line of a faulty one.
ScriptCase ReadScriptCase(const std::filesystem::path& file);
std::vector<ScriptCase> AllScriptCases();

// A shipped setup, converting through the plug-in's scale functions as the host's does.
CMC_Setup ShippedSetup(const std::string& name);

}  // namespace kestrel::dialogs_test
