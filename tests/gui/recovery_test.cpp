// The recovery file: unsaved changes are kept while they last, given up once saved, and offered
// to the next session.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "drivebase/setup_file.h"
#include "host_window.h"
#include "ui/session.h"

namespace gui_test {
namespace {

class RecoveryTest : public ::testing::Test {
 protected:
  RecoveryTest() { std::filesystem::create_directories(folder_); }
  ~RecoveryTest() override { std::filesystem::remove_all(folder_); }

  std::unique_ptr<kestrel::gui::HostWindow> Window() {
    return std::make_unique<kestrel::gui::HostWindow>(host_, kestrel::cli::DriveOptions{"offline", "", ""}, "", &recovery_);
  }

  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("kestrel-recovery-" + std::to_string(::getpid()));
  kestrel::gui::RecoveryFile recovery_{folder_ / "data" / "recovery.json"};
  kestrel::cli::Host host_;
  ui::HeadlessSession session_;
};

TEST_F(RecoveryTest, UnsavedChangesAreKeptUntilSavedAndOfferedToTheNextSession) {
  auto window = Window();
  window->Checkpoint();
  EXPECT_FALSE(std::filesystem::exists(recovery_.Path())) << "nothing unsaved, nothing kept";
  window->SetParameter("Vdc", "36");
  window->Checkpoint();
  ASSERT_TRUE(std::filesystem::exists(recovery_.Path()));

  auto next = Window();  // the first session died
  session_.MessageBoxes().PrepareAnswer(IDYES);
  next->OfferRecovery();
  EXPECT_EQ(session_.MessageBoxes().Shown().back().text,
            "Kestrel kept changes to the default setup that were not saved when it last stopped. Recover them?");
  EXPECT_EQ(next->Setup().GetParameterValueInBaseUnit("Vdc"), 36.0);
  EXPECT_TRUE(next->HasUnsavedChanges());

  next->SaveAs((folder_ / "axis.json").string());
  next->Checkpoint();
  EXPECT_FALSE(std::filesystem::exists(recovery_.Path()));
  EXPECT_EQ(drivebase::ReadSetupFile(folder_ / "axis.json").GetParameterValueInInternalUnit("Vdc"), 36.0);
}

TEST_F(RecoveryTest, ChangesGivenUpAreGoneAndAFaultyFileIsReportedAndLeftAlone) {
  auto window = Window();
  window->SetParameter("Vdc", "24");
  window->Checkpoint();
  auto next = Window();
  session_.MessageBoxes().PrepareAnswer(IDNO);
  next->OfferRecovery();
  EXPECT_FALSE(std::filesystem::exists(recovery_.Path()));
  EXPECT_EQ(next->Setup().GetParameterValueInBaseUnit("Vdc"), 48.0);

  std::ofstream(recovery_.Path()) << "{\"format\": \"something else\"}";
  next->OfferRecovery();
  EXPECT_EQ(session_.MessageBoxes().Shown().back().text,
            "The recovery file cannot be read: " + recovery_.Path().string() + ": not a recovery file of kestrel gui");
  EXPECT_TRUE(std::filesystem::exists(recovery_.Path()));
}

}  // namespace
}  // namespace gui_test
