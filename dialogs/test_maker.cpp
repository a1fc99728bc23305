#include "dialogs/test_maker.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace kestrel {
namespace {

TestMaker& Maker() {
  static TestMaker maker;
  return maker;
}

}  // namespace

void SetTestMaker(TestMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<CDialog> MakeTest(CMC_Setup* setup, std::string_view name, CWnd* parent) {
  if (!Maker()) throw std::logic_error("the test '" + std::string(name) + "' cannot be opened: no commissioning tests are registered");
  return Maker()(setup, name, parent);
}

}  // namespace kestrel
