// Drive Setup's "Tune && Test" buttons open commissioning tests. The tests are built on the
// dialogs, so the dialogs do not know them: whoever links both (the plug-in, the test programs)
// hands the dialogs the function that builds a test by name.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "drivebase/setup.h"
#include "ui/dialog.h"

namespace kestrel {

using TestMaker = std::function<std::unique_ptr<CDialog>(CMC_Setup* setup, std::string_view name, CWnd* parent)>;

// A test that reports, however it ended, the encoder counting direction the user chose in it
// (the internal value of ReverseCounting_MT; −1 when the user left it).
class CountingDirectionReport {
 public:
  virtual ~CountingDirectionReport() = default;
  virtual int RememberedReverseCounting() const = 0;
};

// The function that builds the tests from now on (an empty one forgets it).
void SetTestMaker(TestMaker maker);

// The named test on the setup, built by the function handed over; std::logic_error when none was.
std::unique_ptr<CDialog> MakeTest(CMC_Setup* setup, std::string_view name, CWnd* parent);

}  // namespace kestrel
