#include "probe_test_dlg.h"

#include "ui/event_loop.h"
#include "ui/message_map.h"
#include "ui/template_library.h"

namespace testing_test {

ProbeTestDlg::ProbeTestDlg(CMC_Setup* setup, const std::string& name)
    : CMC_TestDlg(setup, 9200, 1, nullptr), program(name) {
  ui::DialogTemplates().AddDirectory(std::filesystem::path(KESTREL_TESTING_TEST_DATA) / "dialogs");
  image.ReadCoff(GetOutPathName(program));
}

const ui::MessageMap* ProbeTestDlg::GetMessageMap() const {
  static const ui::MessageMap map =
      ui::MessageMapBuilder<ProbeTestDlg>(CMC_TestDlg::GetMessageMap()).Timer(&ProbeTestDlg::OnTimer).Build();
  return &map;
}

void ProbeTestDlg::BeginTest() {
  m_bTestRunning = 1;
  m_nResult = -1;
  m_nStep = 0;
  SetInfoText("Launching");
  if (ExecuteCode(program, &image, logger.get(), nullptr, nullptr) == 0) {
    m_strErrorText = msc_pszErrInternal;
    TestFailed(1);
    return;
  }
  SetInfoText("Running");
  SetTimer(drivebase::kTestTimer, tick_ms);
}

void ProbeTestDlg::OnTimer(std::uintptr_t id) {
  if (id != drivebase::kTestTimer) return CMC_TestDlg::OnTimer(id);
  KillTimer(id);
  if (!IsRunning()) return;
  if (stopEndsTheRun && m_bStopRequested != 0) return TestSucceeded(1);
  double started = 0;
  int on = 0;
  if (GetUserVariableValue(&image, "STARTED", started, m_strErrorText) == 0 || GetAxisOn(on) == 0) {
    return TestFailed(1);
  }
  if (started == 0 || on != 0) {
    SetTimer(drivebase::kTestTimer, tick_ms);
    return;
  }
  if (m_bStopRequested != 0) {  // ended by the stop, not by itself
    m_strErrorText = kStoppedText;
    return TestFailed(1);
  }
  if (logger == nullptr) return TestSucceeded(1);
  Upload();
}

void ProbeTestDlg::Upload() {
  if (!logger->BeginUploadData()) {
    m_strErrorText = msc_pszErrInternal;
    return TestFailed(1);
  }
  SetInfoText("Uploading");
  while (logger->ReadPoint() != 0) {
    ++pointsRead;
    ui::DispatchPendingMessages();
    if (m_bStopRequested != 0 && m_bStopDone != 0) break;
    if (!IsRunning() && m_bStopRequested == 0) return;
  }
  logger->EndUploadData();
  TestSucceeded(1);
}

}  // namespace testing_test
