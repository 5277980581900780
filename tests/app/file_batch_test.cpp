#include "app/file_batch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/window_state.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"
#include "tests/app/app_test_files.h"
#include "tests/support/sim_link.h"

namespace ql {
namespace {

using testing::SimLink;
using testing::TempFolder;

constexpr unsigned kRom = KindBit(FileKind::Rom);
constexpr unsigned kSram = KindBit(FileKind::Sram);
constexpr unsigned kRealTime = KindBit(FileKind::RealTime);
constexpr unsigned kPatch = KindBit(FileKind::Patch);
constexpr unsigned kNone = KindBit(FileKind::None);

class FileBatchTest : public ::testing::Test {
 protected:
  FileBatchTest() { InitialiseWindowState(); }
  WindowModel& window() { return sim_.window(); }

  SimLink sim_;
  TempFolder files_;
};

TEST_F(FileBatchTest, RomBringsItsCompanionsAndEmptiesTheMissingOne) {
  const std::string rom = testing::WriteSnesRom(files_, "roms/game.smc");
  const std::string srm = testing::WriteSram(files_, "roms/game.srm", 3);
  const std::string ips = testing::WritePatch(files_, "roms/game.ips");
  RealTimePath = "left over from an earlier ROM";

  EXPECT_EQ(LoadFileBatch({rom}), kRom);

  EXPECT_EQ(RomPath, rom);
  EXPECT_EQ(SramPath, srm);
  EXPECT_EQ(PatchPath, ips);
  EXPECT_TRUE(RealTimePath.empty());
  EXPECT_FALSE(window().MenuItemEnabled(IDM_UPLOAD_REALTIME));
  EXPECT_FALSE(window().ControlEnabled(IDC_LABEL_REALTIME_FILE));
  EXPECT_EQ(window().ControlText(IDC_REALTIME_FILE), " ");
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_SRAM));
  EXPECT_EQ(window().ControlText(IDC_SRAM_FILE), "game.srm");
  EXPECT_EQ(window().ControlText(IDC_PATCH_FILE), "game.ips");
}

TEST_F(FileBatchTest, BbdIsPreferredOverSrm) {
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  const std::string bbd = testing::WriteSramWithHeader(files_, "game.bbd", 4);
  testing::WriteSram(files_, "game.srm", 5);

  LoadFileBatch({rom});
  EXPECT_EQ(SramPath, bbd);
  EXPECT_TRUE(SramHasCopierHeader);
}

TEST_F(FileBatchTest, SlotFilledByTheBatchIsNotSearchedButOthersAre) {
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  const std::string other = testing::WriteSram(files_, "other.srm", 6);
  testing::WriteSram(files_, "game.srm", 7);
  const std::string rts = testing::WriteRealTimeSave(files_, "game.rts", 8);
  const std::string ips = testing::WritePatch(files_, "game.ips");

  EXPECT_EQ(LoadFileBatch({rom, other}), kRom | kSram);
  EXPECT_EQ(SramPath, other);
  EXPECT_EQ(RealTimePath, rts);
  EXPECT_EQ(PatchPath, ips);
}

TEST_F(FileBatchTest, SecondRomWithoutCompanionsEmptiesTheFirstOnesSlots) {
  testing::WriteSram(files_, "first.srm", 1);
  testing::WriteRealTimeSave(files_, "first.rts", 2);
  testing::WritePatch(files_, "first.ips");
  LoadFileBatch({testing::WriteSnesRom(files_, "first.smc")});
  ASSERT_FALSE(SramPath.empty());
  ASSERT_FALSE(RealTimePath.empty());
  ASSERT_FALSE(PatchPath.empty());

  LoadFileBatch({testing::WriteSnesRom(files_, "second.smc", 0x40)});

  EXPECT_TRUE(SramPath.empty());
  EXPECT_TRUE(RealTimePath.empty());
  EXPECT_TRUE(PatchPath.empty());
  for (int item : {IDM_UPLOAD_SRAM, IDM_UPLOAD_REALTIME, IDM_UPLOAD_ROM_IPS}) {
    EXPECT_FALSE(window().MenuItemEnabled(item)) << item;
  }
  for (int label : {IDC_LABEL_SRAM_FILE, IDC_LABEL_REALTIME_FILE, IDC_LABEL_PATCH_FILE}) {
    EXPECT_FALSE(window().ControlEnabled(label)) << label;
  }
  for (int field : {IDC_SRAM_FILE, IDC_REALTIME_FILE, IDC_PATCH_FILE}) {
    EXPECT_EQ(window().ControlText(field), " ") << field;
  }
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_AND_RUN));
  EXPECT_EQ(window().ControlText(IDC_ROM_FILE), "second.smc");
}

TEST_F(FileBatchTest, PatchOnlyDropRunsNoCompanionSearch) {
  testing::WriteSram(files_, "game.srm", 1);
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  LoadFileBatch({rom});
  ASSERT_FALSE(SramPath.empty());
  // Had the search run, the missing game.rts would not matter, but the SRAM
  // file removed now would empty its slot.
  std::filesystem::remove(files_.Path("game.srm"));

  EXPECT_EQ(LoadFileBatch({testing::WritePatch(files_, "fix.ips")}), kPatch);
  EXPECT_EQ(PatchPath, files_.Path("fix.ips"));
  EXPECT_FALSE(SramPath.empty());
  EXPECT_TRUE(window().MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
}

TEST_F(FileBatchTest, SmdLeavesTheRealTimeSlotAlone) {
  SelectDevice(kDeviceSmd);
  const std::string rts = testing::WriteRealTimeSave(files_, "save.rts", 1);
  LoadFileBatch({rts});
  ASSERT_EQ(RealTimePath, rts);
  testing::WriteSram(files_, "game.srm", 2);

  EXPECT_EQ(LoadFileBatch({testing::WriteGenesisRom(files_, "game.bin")}), kRom);
  EXPECT_EQ(RealTimePath, rts);
  EXPECT_EQ(SramPath, files_.Path("game.srm"));
  EXPECT_TRUE(PatchPath.empty());
}

TEST_F(FileBatchTest, EmptyAndUnrecognisedBatchesChangeNothing) {
  const std::string rom = testing::WriteSnesRom(files_, "game.smc");
  LoadFileBatch({rom});
  const std::string junk = files_.Path("notes.txt");
  testing::WriteBytes(junk, {1, 2, 3});

  EXPECT_EQ(LoadFileBatch({}), 0u);
  EXPECT_EQ(LoadFileBatch({junk, files_.Path("missing.smc")}), kNone);
  EXPECT_EQ(RomPath, rom);
}

TEST_F(FileBatchTest, CompanionsOfAnExtensionlessRomGetTheirOwnDot) {
  const std::string rom = testing::WriteSnesRom(files_, "game");
  const std::string srm = testing::WriteSram(files_, "game.srm", 1);
  // What gluing the extension onto the name would find instead.
  testing::WriteSram(files_, "gamesrm", 2);

  LoadFileBatch({rom});
  EXPECT_EQ(SramPath, srm);
}

TEST_F(FileBatchTest, DotInAFolderNameIsNotTheRomsExtension) {
  const std::string rom = testing::WriteSnesRom(files_, "v1.2/game");
  const std::string srm = testing::WriteSram(files_, "v1.2/game.srm", 1);
  // What replacing after the folder's dot would find instead.
  testing::WriteSram(files_, "v1.srm", 2);
  testing::WritePatch(files_, "v1.ips");

  LoadFileBatch({rom});
  EXPECT_EQ(SramPath, srm);
  EXPECT_TRUE(PatchPath.empty());
}

TEST_F(FileBatchTest, CompanionPathReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(CompanionPath("C:\\roms\\game.smc", "rts"), "C:\\roms\\game.rts");
  EXPECT_EQ(CompanionPath("C:\\my.dir\\game", "bbd"), "C:\\my.dir\\game.bbd");
  EXPECT_EQ(CompanionPath("game", "ips"), "game.ips");
  EXPECT_EQ(CompanionPath("/home/a.b/game.sfc", "srm"), "/home/a.b/game.srm");
}

TEST_F(FileBatchTest, BatchWithoutRomKeepsTheLoadedRomHeader) {
  LoadFileBatch({testing::WriteSnesRom(files_, "game.smc")});
  const auto header = RomHeader;
  ASSERT_NE(header[0], 0) << "the ROM's title is in the header block";

  LoadFileBatch({testing::WriteSram(files_, "other.srm", 9)});
  EXPECT_EQ(RomHeader, header);
  LoadFileBatch({});
  EXPECT_EQ(RomHeader, header);
}

TEST_F(FileBatchTest, OverlongPathIsNotLoaded) {
  std::string name(120, 'a');
  const std::string srm = testing::WriteSram(files_, name + "/" + name + "/save.srm", 1);
  ASSERT_GT(srm.size(), kMaxPathLength);

  EXPECT_EQ(LoadFileBatch({srm}), kNone);
  EXPECT_TRUE(SramPath.empty());
}

TEST(OpenSelectionTest, SingleChoiceIsOneFullPath) {
  using namespace std::string_literals;
  EXPECT_EQ(ExpandOpenSelection("C:\\roms\\game.smc\0\0"s), std::vector<std::string>{"C:\\roms\\game.smc"});
}

TEST(OpenSelectionTest, SeveralChoicesJoinFolderAndNames) {
  using namespace std::string_literals;
  const std::vector<std::string> expected = {"C:\\roms\\a.smc", "C:\\roms\\a.srm", "C:\\roms\\b.ips"};
  EXPECT_EQ(ExpandOpenSelection("C:\\roms\0a.smc\0a.srm\0b.ips\0\0"s), expected);
}

TEST(OpenSelectionTest, FolderWithTrailingBackslashGetsNoSecondOne) {
  using namespace std::string_literals;
  const std::vector<std::string> expected = {"C:\\a.smc", "C:\\b.srm"};
  EXPECT_EQ(ExpandOpenSelection("C:\\\0a.smc\0b.srm\0\0"s), expected);
}

TEST(OpenSelectionTest, BufferEndAndEmptyBufferEndTheList) {
  using namespace std::string_literals;
  const std::vector<std::string> expected = {"C:\\roms\\a.smc", "C:\\roms\\b.smc"};
  EXPECT_EQ(ExpandOpenSelection("C:\\roms\0a.smc\0b.smc"s), expected);
  EXPECT_TRUE(ExpandOpenSelection(""s).empty());
  EXPECT_TRUE(ExpandOpenSelection("\0\0"s).empty());
  // What follows the terminating empty string is not part of the choice.
  EXPECT_EQ(ExpandOpenSelection("C:\\x.smc\0\0C:\\stale.smc\0"s), std::vector<std::string>{"C:\\x.smc"});
}

}  // namespace
}  // namespace ql
