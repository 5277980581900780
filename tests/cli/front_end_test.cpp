#include <gtest/gtest.h>

#include "cli/cli_front_end.h"

namespace ql::cli {
namespace {

SaveFileRequest SramDialog(int proposedIndex) {
  SaveFileRequest request;
  request.filters = {{"Backup Battery Data (*.bbd)", "*.bbd"}, {"Emulator SRAM (*.srm)", "*.srm"}};
  request.fileName = "/roms/game";
  request.filterIndex = proposedIndex;
  return request;
}

TEST(FilterIndexForPath, PicksTheFilterOfTheExtensionIgnoringCase) {
  SaveFileRequest request = SramDialog(1);
  EXPECT_EQ(FilterIndexForPath(request, "out.srm"), 2);
  EXPECT_EQ(FilterIndexForPath(request, "/a.b/OUT.SRM"), 2);
  EXPECT_EQ(FilterIndexForPath(request, "out.bbd"), 1);
}

TEST(FilterIndexForPath, NoMatchGivesZero) {
  SaveFileRequest request = SramDialog(1);
  EXPECT_EQ(FilterIndexForPath(request, "out"), 0);
  EXPECT_EQ(FilterIndexForPath(request, "out.srm.bak"), 0);
  EXPECT_EQ(FilterIndexForPath(request, "srm"), 0);
}

TEST(FilterIndexForPath, SeveralPatternsPerFilterAndTheAllFilesPatternIgnored) {
  SaveFileRequest request;
  request.filters = {{"All files", "*.*"}, {"ROM Image", "*.smc;*.swc;*.sfc"}};
  EXPECT_EQ(FilterIndexForPath(request, "game.swc"), 2);
  EXPECT_EQ(FilterIndexForPath(request, "game.sfc"), 2);
  EXPECT_EQ(FilterIndexForPath(request, "game.txt"), 0);
}

class CliFrontEndTest : public ::testing::Test {
 protected:
  ProgressLine progress_{stderr, ProgressLine::Mode::Off};
  CliFrontEnd ui_{progress_};
};

TEST_F(CliFrontEndTest, WithoutAnAnswerTheSaveDialogIsCancelled) {
  SaveFileRequest request = SramDialog(1);
  EXPECT_FALSE(ui_.AskSaveFileName(request));
  EXPECT_EQ(ui_.SaveRequests().size(), 1u);
}

TEST_F(CliFrontEndTest, TheAnswerSetsNameAndFilterOnceOnly) {
  ui_.AnswerSaveDialogWith("/tmp/x/out.srm");
  SaveFileRequest request = SramDialog(1);
  ASSERT_TRUE(ui_.AskSaveFileName(request));
  EXPECT_EQ(request.fileName, "/tmp/x/out.srm");
  EXPECT_EQ(request.filterIndex, 2);
  SaveFileRequest second = SramDialog(1);
  EXPECT_FALSE(ui_.AskSaveFileName(second));
}

TEST_F(CliFrontEndTest, ANameOfNoFilterKeepsTheProposedFilter) {
  ui_.AnswerSaveDialogWith("out");
  SaveFileRequest request = SramDialog(2);
  ASSERT_TRUE(ui_.AskSaveFileName(request));
  EXPECT_EQ(request.filterIndex, 2);
  EXPECT_EQ(request.fileName, "out");
}

TEST_F(CliFrontEndTest, OnlyStopMessagesCountAsFailures) {
  ui_.ShowMessage("Name:  X\n", "Cartridge Info", MessageIcon::None);
  ui_.ShowMessage("text", "About", MessageIcon::Information);
  EXPECT_FALSE(ui_.FailureShown());
  ui_.ShowMessage("No game cartridge is detected", "Play Cartridge", MessageIcon::Stop);
  EXPECT_TRUE(ui_.FailureShown());
  EXPECT_EQ(ui_.Messages().size(), 3u);
}

TEST_F(CliFrontEndTest, ProgressIsKeptInTheProgressField) {
  ui_.ShowProgress("ROM 64/128", 64, 128);
  EXPECT_EQ(ui_.ControlText(1024), "ROM 64/128");
  ui_.ShowProgress("", 0, 0);
  EXPECT_EQ(ui_.ControlText(1024), "");
}

}  // namespace
}  // namespace ql::cli
