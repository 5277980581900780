#include "app/commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/about.h"
#include "app/file_batch.h"
#include "app/jobs.h"
#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "resources/resource_ids.h"
#include "tests/app/job_fixture.h"

namespace ql {
namespace {

using testing::JobTest;

class CommandTest : public JobTest {
 protected:
  ~CommandTest() override { SetOpenFilesHandler(nullptr); }
};

TEST_F(CommandTest, EveryCommandButCancelAboutAndExitIsRefusedWhileAJobRuns) {
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  LoadFileBatch({rom});
  int opened = 0;
  SetOpenFilesHandler([&opened] { ++opened; });
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_ROM);
  gate().WaitUntilHeld();

  for (int id = IDM_OPEN; id <= IDM_DOWNLOAD_REALTIME; ++id) {
    if (id == IDM_ABOUT || id == IDM_EXIT) continue;
    EXPECT_FALSE(RunCommand(id)) << id;
  }
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(SelectedDevice, kDeviceSwc);
  EXPECT_EQ(SelectedLpt, 1);
  EXPECT_EQ(RomPath, rom);
  EXPECT_FALSE(RealTimeMode) << "refused commands do not prepare a real-time run";
  EXPECT_TRUE(window().Messages().empty()) << "no copier command ran";

  EXPECT_TRUE(RunCommand(IDM_ABOUT));
  EXPECT_TRUE(RunCommand(IDM_EXIT));
  EXPECT_TRUE(QuitRequested);
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  EXPECT_TRUE(CancelRequested);

  gate().Release();
  AwaitJobEnd();
  EXPECT_TRUE(Events().empty()) << "no execute was asked for, none ran";
}

TEST_F(CommandTest, FilesDroppedWhileAJobRunsAreRefusedWithAMessage) {
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  LoadFileBatch({rom});
  HoldJobAtFirstRomBlock();
  RunCommand(IDM_UPLOAD_AND_RUN);
  gate().WaitUntilHeld();

  const std::string other = testing::WriteSnesRom(files_, "other.smc", 0x70);
  const std::string srm = testing::WriteSram(files_, "other.srm", 1);
  const auto header = RomHeader;
  EXPECT_EQ(LoadFileBatch({other, srm}), 0u);

  EXPECT_EQ(RomPath, rom);
  EXPECT_TRUE(SramPath.empty());
  EXPECT_EQ(RomHeader, header);
  const auto messages = window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Quillon Link");
  EXPECT_EQ(messages[0].text, kBatchRefusedText);
  EXPECT_EQ(messages[0].icon, MessageIcon::Stop);

  gate().Release();
  AwaitJobEnd();
  EXPECT_EQ(LoadFileBatch({srm}), KindBit(FileKind::Sram)) << "accepted again once the job ended";
}

TEST_F(CommandTest, PlayButtonWithoutRomPlaysTheCartridge) {
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  EXPECT_FALSE(JobRunning());
  const auto messages = window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "No game cartridge is detected");
  EXPECT_EQ(messages[0].caption, "Play Cartridge");
  EXPECT_TRUE(Events().empty());
}

TEST_F(CommandTest, PlayButtonWithRomUploadsAndRuns) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc")});
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  AwaitJobEnd();
  const auto events = Events();
  ASSERT_EQ(CountStartingWith(events, "F 01 "), 1);
  EXPECT_EQ(CountStartingWith(events, "F 03"), 0);
  EXPECT_EQ(events.back().substr(8), "00 00");
}

TEST_F(CommandTest, PlayButtonWithRealTimeSaveDoesARealTimeRun) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc"), testing::WriteRealTimeSave(files_, "game.rts", 1)});
  EXPECT_TRUE(RunCommand(IDC_PLAY));
  AwaitJobEnd();
  const auto events = Events();
  EXPECT_EQ(CountStartingWith(events, "F 03"), 1);
  ASSERT_EQ(CountStartingWith(events, "F 01 "), 1);
  EXPECT_EQ(events.back().substr(8), "01 00");
  EXPECT_FALSE(RealTimeMode);
}

TEST_F(CommandTest, PlayOnSmdNeverSendsALoadedRealTimeSave) {
  emu::Options smd;
  smd.device = emu::Device::Smd;
  Restart(smd);
  RunCommand(IDM_DEVICE_SMD);
  const std::string rts = testing::WriteRealTimeSave(files_, "save.rts", 1);
  LoadFileBatch({rts});
  LoadFileBatch({testing::WriteGenesisRom(files_, "game.bin")});
  ASSERT_EQ(RealTimePath, rts) << "the SMD keeps the real-time slot";

  EXPECT_TRUE(RunCommand(IDC_PLAY));
  AwaitJobEnd();
  EXPECT_EQ(CountStartingWith(Events(), "F 03"), 0);
  ASSERT_FALSE(Events().empty());
  EXPECT_EQ(Events().back(), "W 2001 03") << "the image was started";
  for (const auto& progress : window().ProgressHistory()) {
    EXPECT_EQ(progress.text.find("Real-time"), std::string::npos) << progress.text;
  }
}

TEST_F(CommandTest, ExecuteCommandsSetRealTimeModeOnlyForTheirOwnStart) {
  EXPECT_TRUE(RunCommand(IDM_EXECUTE_REALTIME));
  EXPECT_FALSE(RealTimeMode);
  EXPECT_TRUE(RunCommand(IDM_EXECUTE));
  EXPECT_FALSE(RealTimeMode);

  const auto events = Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].substr(8), "01 00");
  EXPECT_EQ(events[3].substr(8), "00 00");
}

TEST_F(CommandTest, DeviceAndPortCommandsSelect) {
  EXPECT_TRUE(RunCommand(IDM_DEVICE_SMD));
  EXPECT_EQ(SelectedDevice, kDeviceSmd);
  EXPECT_TRUE(window().MenuItemChecked(IDM_DEVICE_SMD));
  EXPECT_TRUE(RunCommand(IDM_LPT3));
  EXPECT_EQ(SelectedLpt, 3);
  EXPECT_TRUE(RunCommand(IDM_LPT2));
  EXPECT_EQ(SelectedLpt, 2);
  EXPECT_TRUE(window().MenuItemChecked(IDM_LPT2));
  EXPECT_FALSE(window().MenuItemChecked(IDM_LPT3));
  EXPECT_TRUE(RunCommand(IDM_DEVICE_SWC));
  EXPECT_EQ(SelectedDevice, kDeviceSwc);
}

TEST_F(CommandTest, UnknownIdsAreRefused) {
  for (int id : {0, 1, 2, 1000, 1002, 40000, 40022, 65535}) EXPECT_FALSE(RunCommand(id)) << id;
  EXPECT_TRUE(window().Messages().empty());
  EXPECT_EQ(sim().LoadCount(), 0);
}

TEST_F(CommandTest, OpenNeedsTheFrontEndsHandler) {
  EXPECT_FALSE(RunCommand(IDM_OPEN));
  int opened = 0;
  SetOpenFilesHandler([&opened] { ++opened; });
  EXPECT_TRUE(RunCommand(IDM_OPEN));
  EXPECT_EQ(opened, 1);
}

TEST_F(CommandTest, AboutShowsItsSixLinesWithoutIcon) {
  EXPECT_TRUE(RunCommand(IDM_ABOUT));
  const auto messages = window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "About");
  EXPECT_EQ(messages[0].icon, MessageIcon::None);

  std::istringstream text(messages[0].text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Quillon Link v2.0");
  EXPECT_EQ(lines[1], "For use with the Super Magicom/Wildcard and Super Magic Drive");
  EXPECT_NE(lines[2].find("Morvane Productions"), std::string::npos);
  EXPECT_EQ(lines[3], "");
  EXPECT_NE(lines[4].find("IO.DLL"), std::string::npos);
  EXPECT_NE(lines[5].find("IO.DLL"), std::string::npos);
}

TEST_F(CommandTest, ExitOnlyRaisesTheQuitFlag) {
  EXPECT_TRUE(RunCommand(IDM_EXIT));
  EXPECT_TRUE(QuitRequested);
  EXPECT_FALSE(JobRunning());
  EXPECT_EQ(sim().LoadCount(), 0);
}

}  // namespace
}  // namespace ql
