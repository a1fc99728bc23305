// The scope logger on the simulated drive: a window arrives whole through the registered handler,
// with a two-word variable that the host changes halfway through decoded on both sides of the
// change.
#include "drivebase/scope_logger.h"
#include "test_bench.h"

namespace kestrel::commissioning_test {
namespace {

CMC_ScopeLogger* g_scope = nullptr;
int g_written = 0;

int DeliverFrame(const std::uint16_t* message) {
  g_written += g_scope->OnFrameReceive(reinterpret_cast<const std::uint8_t*>(message + 3), message[0] * 2);
  return 0xE900;
}

TEST_F(Bench, ScopeWindowArrivesWholeWithItsTwoWordValues) {
  ConnectSimulator();
  CMC_ScopeLogger scope(&setup_, nullptr);
  g_scope = &scope;
  ASSERT_TRUE(scope.AddVariable("var_lf_long", 0) && scope.AddVariable("IQ", 0));
  ASSERT_TRUE(CMC_Comm::WriteValue("var_lf_long", 100000, 2));
  ASSERT_TRUE(scope.ChangeSettings(0.1, drivebase::kScopeSingle, drivebase::kScopeRising, "", 0.0, 0));
  const auto previous = CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(DeliverFrame);
  std::optional<drivebase::LoggerSettings> launchWith;
  ASSERT_TRUE(scope.StartCapture(launchWith)) << scope.LastError();
  int passes = 0;
  while (!scope.DoGracefulStop() && ++passes < 100) {
    session_.Loop().AdvanceBy(ui::Milliseconds(10));
    CMC_Comm::CheckForUnrequestedMessages();
    if (passes == 5) {
      ASSERT_TRUE(CMC_Comm::WriteValue("var_lf_long", -70000, 2));
    }
  }
  scope.EndUploadData();
  CMC_Comm::RegisterReceiveUnsolicitedMsgHandler(previous);
  const CGraphDocument& window = scope.GetGraphDocument();
  ASSERT_GT(window.RowCount(), 10u);
  EXPECT_EQ(g_written, static_cast<int>(window.RowCount()));
  EXPECT_EQ(window.Value(0, 1), 100000.0);
  EXPECT_EQ(window.Value(window.RowCount() - 1, 1), -70000.0);
  EXPECT_NEAR(window.Value(window.RowCount() - 1, 0), 0.1, 0.002) << "the last sample one window after the first";
}

}  // namespace
}  // namespace kestrel::commissioning_test
