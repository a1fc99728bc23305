// The question a test asks on closing after a success: which values it found differ from those
// the setup held when it opened, and whether to keep them.
#pragma once

#include <span>
#include <string>

namespace kestrel {

// A value that the test determined, with the one the setup held when the test opened.
struct ComparedValue {
  std::string label;  // as the user knows it: "Kp", "Phase resistance"
  double old_value = 0.0;
  double new_value = 0.0;
  bool integer = false;  // printed as an integer ("1000"), else as %g
  // A printf format of its own ("%G"): the value is printed with it, and counts as changed only
  // when the printed texts differ.
  const char* format = nullptr;
};

// A number as "%g" prints it ("1.5", "1e-05", "inf").
std::string FormatG(double value);
// A number as a printf format for one double prints it ("%.2g", "%.3G").
std::string FormatNumber(const char* format, double value);

// The question, or an empty text when every value is as it was. Labels and numbers are put in
// as text, so a label with "%" prints as it is. It lists the values that differ, or with
// listEveryValue all of them once one differs (values that belong together, such as a Hall
// configuration and its shift).
std::string SaveQuestionText(std::span<const ComparedValue> values, bool listEveryValue = false);

}  // namespace kestrel
