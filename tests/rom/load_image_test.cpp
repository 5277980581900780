// Loading a file: what it is taken for, which slot, fields and menu items it fills.
#include "rom/load_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/front_end.h"
#include "core/state.h"
#include "core/window_model.h"
#include "resources/resource_ids.h"
#include "rom/image_classifier.h"
#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::CopierHeader;
using testing::PatchBytes;

class LoadImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSharedState();
    SetFrontEnd(&window);
  }
  void TearDown() override {
    SetFrontEnd(nullptr);
    ResetSharedState();
  }

  WindowModel window;
  testing::ScratchDir dir;
};

TEST_F(LoadImageTest, ClassifiesByContentNameAndSize) {
  Bytes swcMax = testing::SnesImage(0x10000, true, true);  // block at 0x101C0 only
  swcMax.resize(6291968);
  Bytes sramHeaderOnRom = swcMax;
  sramHeaderOnRom[10] = 5;
  Bytes tagged = testing::SnesImage(0x8000, false, false);  // headerless, yet bytes 8..10 say "SWC ROM"
  std::copy_n(CopierHeader(4).begin() + 8, 3, tagged.begin() + 8);
  Bytes taggedPatch = CopierHeader(8);  // "PATCH" over a real-time save's copier header
  std::copy_n("PATCH", 5, taggedPatch.begin());
  Bytes smdMax = testing::GenesisRom(4194816);
  const Bytes smd = testing::ToSmd(testing::GenesisRom(0x4000));  // its header ends at 0x2300
  Bytes lowerCase = testing::GenesisRom(0x4000);
  std::copy_n("sega", 4, lowerCase.begin() + 0x100);
  // File name, content, device, what it is taken for, copier header.
  const std::tuple<const char*, Bytes, std::uint8_t, FileKind, bool> cases[] = {
      {"patch13.ips", PatchBytes(13), kDeviceSwc, FileKind::None, false},
      {"PATCH14.IPS", PatchBytes(14), kDeviceSwc, FileKind::Patch, false},
      {"patchX.ips", Cat({{'P', 'A', 'T', 'C', 'X'}, Bytes(15)}), kDeviceSwc, FileKind::None, false},
      {"tagged.ips", taggedPatch, kDeviceSwc, FileKind::Patch, false},
      {"tagged.rts", taggedPatch, kDeviceSwc, FileKind::RealTime, false},
      {"sram8192.xyz", Cat({CopierHeader(5), Bytes(8192)}), kDeviceSwc, FileKind::Sram, true},
      {"sram0.bbd", CopierHeader(7), kDeviceSwc, FileKind::Sram, true},
      {"plain8192.srm", Bytes(8192), kDeviceSwc, FileKind::Sram, false},
      {"plain3000.srm", Bytes(3000), kDeviceSwc, FileKind::None, false},
      {"type9.srm", Cat({CopierHeader(9), Bytes(4096 - 512)}), kDeviceSwc, FileKind::Sram, false},
      {"sramheader.bbd", sramHeaderOnRom, kDeviceSwc, FileKind::Rom, true},
      {"realtime.srm", Cat({CopierHeader(8), Bytes(1024)}), kDeviceSmd, FileKind::RealTime, false},
      {"tagged.swc", tagged, kDeviceSwc, FileKind::Rom, false},
      {"max.swc", swcMax, kDeviceSwc, FileKind::Rom, true},
      {"over.swc", Cat({swcMax, {0}}), kDeviceSwc, FileKind::None, false},
      {"max.bin", smdMax, kDeviceSmd, FileKind::Rom, false},
      {"over.bin", Cat({smdMax, {0}}), kDeviceSmd, FileKind::None, false},
      {"edge.smd", testing::Slice(smd, 0, 0x2300), kDeviceSmd, FileKind::Rom, true},
      {"short.smd", testing::Slice(smd, 0, 0x22FF), kDeviceSmd, FileKind::None, false},
      {"sega.bin", lowerCase, kDeviceSmd, FileKind::None, false},
      {"snes.smc", testing::SnesImage(0x8000, false, false), kDeviceSmd, FileKind::None, false},
  };
  for (const auto& [name, bytes, device, kind, copierHeader] : cases) {
    SCOPED_TRACE(name);
    ResetSharedState();
    SelectedDevice = device;
    RomHasCopierHeader = SramHasCopierHeader = !copierHeader;
    const std::string path = dir.Write(name, bytes);
    EXPECT_EQ(LoadImageFile(path), kind);
    const std::string* slots[] = {&RomPath, &SramPath, &RealTimePath, &PatchPath};
    const FileKind kinds[] = {FileKind::Rom, FileKind::Sram, FileKind::RealTime, FileKind::Patch};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(*slots[i], kinds[i] == kind ? path : "") << i;
    EXPECT_EQ(LastDirectory, kind == FileKind::None ? "" : dir.Root());
    if (kind == FileKind::Rom || kind == FileKind::Sram) {
      EXPECT_EQ(kind == FileKind::Rom ? RomHasCopierHeader : SramHasCopierHeader, copierHeader);
    }
    // Only the SWC takes real-time saves; on the SMD the file is kept but cannot be sent.
    if (kind == FileKind::RealTime) {
      EXPECT_EQ(window.MenuItemEnabled(IDM_UPLOAD_REALTIME), device == kDeviceSwc);
    }
  }
}

TEST(SramSizeRule, OneBitFromTwoToThirtyTwoKilobytesOrNone) {
  for (std::uint32_t size : {0u, 2048u, 32768u}) EXPECT_TRUE(IsAcceptedSramSize(size)) << size;
  for (std::uint32_t size : {1024u, 2049u, 6144u, 65536u}) EXPECT_FALSE(IsAcceptedSramSize(size)) << size;
}

// Labels and texts of the fields are the info suite's lines. A Genesis image keeps the HiROM flag and greyed fields.
TEST_F(LoadImageTest, RomsSetMenusAndHeaderAndGenesisKeepsSnesOnlyState) {
  const Bytes image = testing::SnesImage(0x10000, true, true);
  ASSERT_EQ(LoadImageFile(dir.Write("game.smc", image)), FileKind::Rom);
  EXPECT_TRUE(RomIsHiRom);
  EXPECT_TRUE(std::equal(RomHeader.begin(), RomHeader.begin() + 64, image.begin() + 0x101C0));
  for (int id : {IDM_UPLOAD_AND_RUN, IDM_UPLOAD_AND_RUN_REALTIME, IDM_UPLOAD_ROM})
    EXPECT_TRUE(window.MenuItemEnabled(id));

  SelectedDevice = kDeviceSmd;
  ASSERT_EQ(LoadImageFile(dir.Write("g.smd", testing::ToSmd(testing::GenesisRom(0x80000)))), FileKind::Rom);
  EXPECT_TRUE(RomIsHiRom);
  EXPECT_EQ(RomHeader, testing::GenesisHeader());
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_AND_RUN_REALTIME));
  const std::pair<int, const char*> kept[] = {
      {IDC_MAKEUP, "Fast HiROM"}, {IDC_SRAM_SIZE, "none"}, {IDC_VERSION, "1.0"}};
  for (auto [id, text] : kept) EXPECT_EQ(window.ControlText(id), text) << id;
}

TEST_F(LoadImageTest, RomWithPatchNeedsBothInEitherOrder) {
  const std::string rom = dir.Write("g.smc", testing::SnesImage(0x8000, false, false));
  const std::string patch = dir.Write("g.ips", PatchBytes(20));
  for (bool romFirst : {true, false}) {
    SCOPED_TRACE(romFirst);
    ResetSharedState();
    window.EnableMenuItem(IDM_UPLOAD_ROM_IPS, false);
    ASSERT_NE(LoadImageFile(romFirst ? rom : patch), FileKind::None);
    EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
    ASSERT_NE(LoadImageFile(romFirst ? patch : rom), FileKind::None);
    EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  }
}

// A path too long for its slot or with a NUL would open another file than the one named.
TEST_F(LoadImageTest, LongAndNulPathsAreRefusedAndABareNameLeavesNoFolder) {
  const std::string name = std::string(kMaxPathLength - dir.Root().size() - 5, 'a') + ".ips";
  const std::string longest = dir.Write(name, PatchBytes(20));
  ASSERT_EQ(longest.size(), kMaxPathLength);
  EXPECT_EQ(LoadImageFile(dir.Write("a" + name, PatchBytes(20))), FileKind::None);
  EXPECT_EQ(LoadImageFile(dir.Write("g.ips", PatchBytes(20)) + std::string("\0.ips", 5)), FileKind::None);
  EXPECT_EQ(PatchPath, "");
  EXPECT_EQ(LoadImageFile(longest), FileKind::Patch);
  // Loaded from its own folder by a bare name, a file leaves no folder rather than keep the last one.
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Root());
  EXPECT_EQ(LoadImageFile("g.ips"), FileKind::Patch);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(LastDirectory, "");
}

TEST_F(LoadImageTest, OnlyRegularFilesAreReadAndAFifoIsNotWaitedFor) {
  const std::string fifo = dir.PathOf("pipe.smc");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directory(dir.PathOf("folder.smc"));
  // Should the load wait for a writer after all, the alarm kills the test binary rather than let it hang.
  alarm(10);
  for (const std::string& path : {fifo, dir.PathOf("folder.smc"), std::string("/dev/zero")}) {
    EXPECT_EQ(LoadImageFile(path), FileKind::None) << path;
  }
  alarm(0);
}

}  // namespace
}  // namespace ql
