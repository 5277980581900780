#include "app/jobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/commands.h"
#include "app/file_batch.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"
#include "tests/app/job_fixture.h"

namespace ql {
namespace {

using testing::JobTest;

bool AllZero(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t size) {
  return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(from + size));
}

// The second function packet of an execute: mode byte, then the real-time flag.
bool StartedInRealTime(const std::vector<std::string>& events) {
  for (const std::string& line : events) {
    if (line.rfind("F 01 ", 0) == 0) return line.substr(8) == "01 00";
  }
  ADD_FAILURE() << "no execute packet";
  return false;
}

class UploadJobTest : public JobTest {
 protected:
  std::string rom_ = testing::WriteSnesRom(files_, "game.smc");
  std::string sram_ = testing::WriteSram(files_, "game.srm", 0x5A);
};

TEST_F(UploadJobTest, RomOnlyIsUploadedAndStartedWithoutTheOtherSteps) {
  std::filesystem::remove(sram_);
  LoadFileBatch({rom_});
  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();

  EXPECT_EQ(copier().DramPage(0), Slice(testing::SnesRomImage(0x11), 0, 8192));
  EXPECT_TRUE(AllZero(copier().Sram()));
  const auto events = Events();
  EXPECT_EQ(CountStartingWith(events, "F 05 04 00 00"), 1);
  EXPECT_EQ(CountStartingWith(events, "F 03"), 0);
  EXPECT_FALSE(StartedInRealTime(events));
  ExpectIdleWindow();
  EXPECT_TRUE(window().Messages().empty());
}

TEST_F(UploadJobTest, RomAndSramAreBothSentBeforeTheStart) {
  LoadFileBatch({rom_});
  ASSERT_EQ(SramPath, sram_);
  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();

  EXPECT_EQ(Slice(copier().Sram(), 0, 8192), testing::ReadBytes(sram_));
  EXPECT_EQ(CountStartingWith(Events(), "F 05"), 1);
}

TEST_F(UploadJobTest, RunningJobGreysTheMenusAndOffersCancel) {
  LoadFileBatch({rom_});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_AND_RUN);
  gate().WaitUntilHeld();

  EXPECT_TRUE(JobRunning());
  EXPECT_FALSE(window().TopMenusEnabled());
  EXPECT_EQ(window().ControlText(IDC_PLAY), "Cancel");
  // The items inside the popups are not the job's business.
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_AND_RUN));

  gate().Release();
  AwaitJobEnd();
  ExpectIdleWindow();
}

TEST_F(UploadJobTest, CancelDuringRomStepEndsTheJobBeforeEveryLaterStep) {
  // Without SRAM the real-time step would follow the ROM step directly; it
  // sends its closing packet even when it finds the cancel itself.
  std::filesystem::remove(sram_);
  LoadFileBatch({rom_, testing::WriteRealTimeSave(files_, "game.rts", 3)});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_AND_RUN_REALTIME);
  gate().WaitUntilHeld();
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  EXPECT_TRUE(RunCommand(IDC_PLAY)) << "a second press changes nothing";
  gate().Release();
  AwaitJobEnd();

  EXPECT_TRUE(Events().empty()) << "no real-time save, no execute";
  EXPECT_TRUE(AllZero(copier().Sram()));
  EXPECT_FALSE(RealTimeMode);
  EXPECT_TRUE(CancelRequested) << "stays set until the next job";
  ExpectIdleWindow();
}

TEST_F(UploadJobTest, LeftoverCancelDoesNotStopTheNextJob) {
  LoadFileBatch({rom_});
  CancelRequested = true;
  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();

  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(CountStartingWith(Events(), "F 05"), 1);
  EXPECT_EQ(Slice(copier().Sram(), 0, 8192), testing::ReadBytes(sram_));
}

TEST_F(UploadJobTest, RomFileGoneAfterLoadingStopsTheJobAtTheRomStep) {
  LoadFileBatch({rom_});
  std::filesystem::remove(rom_);
  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();

  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(AllZero(copier().Sram()));
  ExpectIdleWindow();
}

TEST_F(UploadJobTest, TimeOutDuringSramStepIsReportedOnceAndNothingStarts) {
  // How many bytes the ROM step moves, measured on a healthy copier.
  LoadFileBatch({rom_});
  ASSERT_TRUE(TryStartUploadJob(UploadSteps::Rom));
  AwaitJobEnd();
  const std::uint64_t romStepBytes = copier().BytesMoved();
  ASSERT_GT(romStepBytes, 32768u);

  emu::Options stalling;
  stalling.fault = emu::Fault::Stall;
  stalling.stallAfterBytes = romStepBytes + 40;  // inside the SRAM step
  Restart(stalling);
  LoadFileBatch({rom_});
  ASSERT_EQ(SramPath, sram_);
  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();

  const auto messages = window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "SWC Interface");
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(CountStartingWith(Events(), "F 05"), 0);
  ExpectIdleWindow();
}

TEST_F(UploadJobTest, RealTimeRunIsFollowedByAnOrdinaryRunOnF5) {
  LoadFileBatch({rom_, testing::WriteRealTimeSave(files_, "game.rts", 3)});
  RunCommand(IDM_UPLOAD_AND_RUN_REALTIME);
  AwaitJobEnd();
  const auto realTimeEvents = Events();
  EXPECT_EQ(CountStartingWith(realTimeEvents, "F 03"), 1) << "the save was sent";
  EXPECT_TRUE(StartedInRealTime(realTimeEvents));
  EXPECT_FALSE(RealTimeMode);

  RunCommand(IDM_UPLOAD_AND_RUN);
  AwaitJobEnd();
  const auto all = Events();
  const std::vector<std::string> second(all.begin() + static_cast<std::ptrdiff_t>(realTimeEvents.size()), all.end());
  EXPECT_EQ(CountStartingWith(second, "F 03"), 0);
  EXPECT_EQ(CountStartingWith(second, "F 05"), 1);
  EXPECT_FALSE(StartedInRealTime(second));
}

TEST_F(UploadJobTest, RealTimeRunWithoutASaveStillStartsInRealTime) {
  LoadFileBatch({rom_});
  ASSERT_TRUE(RealTimePath.empty());
  RunCommand(IDM_UPLOAD_AND_RUN_REALTIME);
  AwaitJobEnd();

  const auto events = Events();
  EXPECT_EQ(CountStartingWith(events, "F 03"), 0);
  EXPECT_TRUE(StartedInRealTime(events));
  EXPECT_EQ(Slice(copier().Sram(), 0, 8192), testing::ReadBytes(sram_));
}

TEST_F(UploadJobTest, UploadRealTimeSaveCommandSendsTheLoadedSave) {
  LoadFileBatch({rom_, testing::WriteRealTimeSave(files_, "game.rts", 3)});
  RunCommand(IDM_UPLOAD_REALTIME);
  AwaitJobEnd();

  const auto events = Events();
  EXPECT_EQ(CountStartingWith(events, "F 03 00 00 00"), 1);
  EXPECT_EQ(CountStartingWith(events, "F 05"), 0) << "uploading is not starting";
  const auto saveFile = testing::ReadBytes(files_.Path("game.rts"));
  EXPECT_EQ(copier().RealTimeArea(), Slice(saveFile, 512, saveFile.size() - 512));
  for (const auto& progress : window().ProgressHistory()) {
    EXPECT_NE(progress.text.rfind("ROM ", 0), 0u) << "no ROM step: " << progress.text;
  }
  EXPECT_FALSE(RealTimeMode);
}

TEST_F(UploadJobTest, StepsWithEmptySlotsAreSkippedSilently) {
  // SRAM only, with no SRAM loaded: the job runs and sends nothing.
  std::filesystem::remove(sram_);
  LoadFileBatch({rom_});
  ASSERT_TRUE(TryStartUploadJob(UploadSteps::Sram));
  AwaitJobEnd();

  EXPECT_EQ(copier().BytesMoved(), 0u);
  EXPECT_TRUE(window().Messages().empty());
  ExpectIdleWindow();
}

}  // namespace
}  // namespace ql
