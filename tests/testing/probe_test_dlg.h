// The test dialog of the base's tests (template dialogs/9200.json): it runs one program as a
// commissioning test does (launch, then every tick_ms "STARTED" and the axis) and, with a
// logger, uploads the points in a loop that pumps messages between points.
#pragma once

#include <memory>
#include <string>

#include "drivebase/test_dlg.h"

namespace testing_test {

inline constexpr const char* kProbeCaption = "Probe Test";

class ProbeTestDlg : public CMC_TestDlg {
 public:
  ProbeTestDlg(CMC_Setup* setup, const std::string& program);

  std::string program;
  CMC_CoffFormat image;
  std::unique_ptr<CMC_SingleAxisLogger> logger;  // null: nothing to upload
  unsigned tick_ms = 20;
  bool stopEndsTheRun = false;  // the tick takes a stop up and reports success itself
  std::size_t pointsRead = 0;

  void BeginTest() override;
  const ui::MessageMap* GetMessageMap() const override;

 private:
  void OnTimer(std::uintptr_t id);
  void Upload();
};

}  // namespace testing_test
