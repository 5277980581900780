#include <gtest/gtest.h>

#include <algorithm>

#include "app/commands.h"
#include "app/file_batch.h"
#include "app/jobs.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"
#include "tests/app/job_fixture.h"

namespace ql {
namespace {

using testing::JobTest;

TEST_F(JobTest, FailedLinkSetUpStartsNothingAndLeavesTheWindow) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc"), testing::WriteRealTimeSave(files_, "game.rts", 1)});
  sim().SetLibraryMissing(true);

  EXPECT_FALSE(TryStartUploadJob(UploadSteps::All));
  EXPECT_TRUE(RunCommand(IDM_UPLOAD_AND_RUN_REALTIME));
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  EXPECT_TRUE(RunCommand(IDM_DOWNLOAD_SRAM));

  EXPECT_FALSE(JobRunning());
  EXPECT_FALSE(RealTimeMode) << "the real-time request ends with the failed start";
  EXPECT_TRUE(window().TopMenusEnabled());
  EXPECT_EQ(window().ControlText(IDC_PLAY), "&Play");
  EXPECT_TRUE(window().ProgressHistory().empty());
  EXPECT_EQ(sim().LoadCount(), 4) << "each attempt tries the library again";
  for (const auto& message : window().Messages()) EXPECT_EQ(message.caption, "SWC Interface");
}

TEST_F(JobTest, DownloadWhoseSaveDialogIsCancelledEndsAtOnce) {
  // Many quick jobs in a row: each must end with JobThread cleared, never
  // overwritten by its starter, and the next start must find no job running.
  for (int round = 0; round < 25; ++round) {
    ASSERT_TRUE(TryStartDownloadJob(static_cast<std::uint8_t>(DownloadKind::Sram))) << round;
    AwaitJobEnd();
    ASSERT_EQ(JobThread.load(), nullptr) << round;
  }
  EXPECT_EQ(window().SaveRequests().size(), 25u);
  ExpectIdleWindow();
}

TEST_F(JobTest, DownloadJobWritesTheCopiersSram) {
  for (std::size_t i = 0; i < copier().Sram().size(); ++i) copier().Sram()[i] = static_cast<std::uint8_t>(i * 13);
  const std::string target = files_.Path("out.srm");
  window().QueueSaveAnswer(target);
  RealTimeMode = true;  // a download job does not touch it
  ASSERT_TRUE(TryStartDownloadJob(static_cast<std::uint8_t>(DownloadKind::Sram)));
  AwaitJobEnd();

  const auto written = testing::ReadBytes(target);
  ASSERT_FALSE(written.empty());
  // The file holds the copier's SRAM, after a copier header or not.
  const auto& sram = copier().Sram();
  EXPECT_NE(std::search(written.begin(), written.end(), sram.begin() + 1, sram.begin() + 257), written.end());
  EXPECT_TRUE(RealTimeMode);
  ExpectIdleWindow();
}

TEST_F(JobTest, UnknownDownloadKindRunsAnEmptyJob) {
  ASSERT_TRUE(TryStartDownloadJob(9));
  AwaitJobEnd();
  EXPECT_TRUE(window().SaveRequests().empty());
  EXPECT_EQ(copier().BytesMoved(), 0u);
  ExpectIdleWindow();
}

TEST_F(JobTest, SecondStartWhileOneRunsIsRefusedAndKeepsItsMode) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc")});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_AND_RUN_REALTIME);
  gate().WaitUntilHeld();

  EXPECT_FALSE(TryStartUploadJob(UploadSteps::All));
  EXPECT_FALSE(TryStartDownloadJob(static_cast<std::uint8_t>(DownloadKind::Sram)));
  EXPECT_TRUE(RealTimeMode) << "the running job's real-time request stands";

  gate().Release();
  AwaitJobEnd();
  EXPECT_EQ(CountStartingWith(Events(), "F 05"), 1);
}

TEST_F(JobTest, WaitForJobGivesUpAfterItsTimeOut) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc")});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_ROM);
  gate().WaitUntilHeld();

  EXPECT_FALSE(WaitForJob(10));
  EXPECT_FALSE(WaitForJob(0));
  EXPECT_TRUE(JobRunning());

  gate().Release();
  EXPECT_TRUE(WaitForJob(-1));
  EXPECT_FALSE(JobRunning());
  EXPECT_TRUE(WaitForJob(0)) << "nothing left to wait for";
}

TEST_F(JobTest, ShutdownCancelEndsTheJobWithinTheWait) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc")});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_AND_RUN);
  gate().WaitUntilHeld();

  CancelRequested = true;
  gate().Release();
  ASSERT_TRUE(WaitForJob(20000));
  EXPECT_EQ(CountStartingWith(Events(), "F 05"), 0);
}

}  // namespace
}  // namespace ql
