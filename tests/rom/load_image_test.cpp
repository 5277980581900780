#include "rom/load_image.h"

#include <gtest/gtest.h>

#include "core/front_end.h"
#include "core/state.h"
#include "core/window_model.h"
#include "resources/resource_ids.h"
#include "tests/rom/rom_builders.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::CopierHeader;

class LoadImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSharedState();
    SetFrontEnd(&window);
  }
  void TearDown() override {
    SetFrontEnd(nullptr);
    ResetSharedState();
  }

  static Bytes PatchBytes(std::size_t size) {
    Bytes patch(size, 0);
    std::copy_n("PATCH", 5, patch.begin());
    return patch;
  }

  WindowModel window;
  testing::ScratchDir dir;
};

// --- patches ---------------------------------------------------------------

TEST_F(LoadImageFileTest, PatchNeedsIpsExtensionMagicAndFourteenBytes) {
  EXPECT_EQ(LoadImageFile(dir.Write("game.bin", PatchBytes(14))), FileKind::None);
  EXPECT_TRUE(PatchPath.empty());
  EXPECT_EQ(LoadImageFile(dir.Write("short.ips", PatchBytes(13))), FileKind::None);
  Bytes wrongMagic = PatchBytes(20);
  wrongMagic[4] = 'X';
  EXPECT_EQ(LoadImageFile(dir.Write("wrong.ips", wrongMagic)), FileKind::None);
  EXPECT_TRUE(PatchPath.empty());
  EXPECT_FALSE(window.ControlEnabled(IDC_LABEL_PATCH_FILE));

  const std::string path = dir.Write("GAME.IPS", PatchBytes(14));
  EXPECT_EQ(LoadImageFile(path), FileKind::Patch);
  EXPECT_EQ(PatchPath, path);
  EXPECT_TRUE(window.ControlEnabled(IDC_LABEL_PATCH_FILE));
  EXPECT_EQ(window.ControlText(IDC_PATCH_FILE), "GAME.IPS");
  EXPECT_EQ(LastDirectory, dir.root().string());
  // No ROM loaded: the patched upload stays grey.
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
}

TEST_F(LoadImageFileTest, PatchShorterThanProbeIsStillAPatch) {
  EXPECT_EQ(LoadImageFile(dir.Write("p14.ips", PatchBytes(14))), FileKind::Patch);
  EXPECT_EQ(LoadImageFile(dir.Write("p15.ips", PatchBytes(15))), FileKind::Patch);
  EXPECT_EQ(PatchPath, dir.PathOf("p15.ips"));
  // Below 16 bytes nothing but a patch is accepted.
  Bytes sramLike = CopierHeader(5);
  sramLike.resize(15);
  EXPECT_EQ(LoadImageFile(dir.Write("tiny.bin", sramLike)), FileKind::None);
}

TEST_F(LoadImageFileTest, PatchTestComesBeforeCopierHeader) {
  Bytes patch = CopierHeader(8);
  std::copy_n("PATCH", 5, patch.begin());
  EXPECT_EQ(LoadImageFile(dir.Write("odd.ips", patch)), FileKind::Patch);
  EXPECT_EQ(LoadImageFile(dir.Write("odd.rts", patch)), FileKind::RealTime);
}

TEST_F(LoadImageFileTest, RomAndPatchGateEachOther) {
  const std::string rom = dir.Write("game.smc", testing::MakeSnesImage(0x8000, false, false));
  const std::string patch = dir.Write("game.ips", PatchBytes(20));
  ASSERT_EQ(LoadImageFile(rom), FileKind::Rom);
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  ASSERT_EQ(LoadImageFile(patch), FileKind::Patch);
  EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));

  // Patch first, then the ROM.
  ResetSharedState();
  WindowModel fresh;
  SetFrontEnd(&fresh);
  ASSERT_EQ(LoadImageFile(patch), FileKind::Patch);
  EXPECT_FALSE(fresh.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  ASSERT_EQ(LoadImageFile(rom), FileKind::Rom);
  EXPECT_TRUE(fresh.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  SetFrontEnd(&window);
}

// --- SRAM and real-time saves ----------------------------------------------

TEST_F(LoadImageFileTest, SramCopierHeaderDecidesWhateverTheExtension) {
  for (std::uint8_t type : {5, 7}) {
    const std::string path = dir.Write("save" + std::to_string(type) + ".xyz", Concat(CopierHeader(type), Bytes(8192)));
    EXPECT_EQ(LoadImageFile(path), FileKind::Sram) << int{type};
    EXPECT_EQ(SramPath, path);
    EXPECT_TRUE(SramHasCopierHeader);
  }
  EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_SRAM));
  EXPECT_TRUE(window.ControlEnabled(IDC_LABEL_SRAM_FILE));
  EXPECT_EQ(window.ControlText(IDC_SRAM_FILE), "save7.xyz");
}

TEST_F(LoadImageFileTest, SramHeaderWithOddDataSizeIsTriedAsRom) {
  EXPECT_EQ(LoadImageFile(dir.Write("a.bbd", Concat(CopierHeader(5), Bytes(8000)))), FileKind::None);
  EXPECT_TRUE(SramPath.empty());
  // The same header in front of a HiROM image with a copier header: a ROM.
  Bytes rom = testing::MakeSnesImage(0x10000, true, true);
  rom[10] = 5;
  EXPECT_EQ(LoadImageFile(dir.Write("b.bbd", rom)), FileKind::Rom);
  EXPECT_TRUE(RomHasCopierHeader);
  EXPECT_TRUE(RomIsHiRom);
  EXPECT_TRUE(SramPath.empty());
}

TEST_F(LoadImageFileTest, SramHeaderWithoutDataIsAnEmptySram) {
  EXPECT_EQ(LoadImageFile(dir.Write("empty.bbd", CopierHeader(7))), FileKind::Sram);
  EXPECT_TRUE(SramHasCopierHeader);
}

TEST_F(LoadImageFileTest, SrmExtensionWithAcceptedSizes) {
  for (std::size_t size : {2048u, 4096u, 8192u, 16384u, 32768u}) {
    SramHasCopierHeader = true;
    EXPECT_EQ(LoadImageFile(dir.Write("save.srm", Bytes(size))), FileKind::Sram) << size;
    EXPECT_FALSE(SramHasCopierHeader);
  }
  SramPath.clear();
  for (std::size_t size : {16u, 1024u, 3000u, 6144u, 65536u}) {
    EXPECT_EQ(LoadImageFile(dir.Write("save.srm", Bytes(size))), FileKind::None) << size;
  }
  EXPECT_EQ(LoadImageFile(dir.Write("save.bbd", Bytes(8192))), FileKind::None);
  EXPECT_TRUE(SramPath.empty());
}

TEST_F(LoadImageFileTest, CopierHeaderDecidesBeforeSrmExtension) {
  // A real-time save named .srm is a real-time save.
  EXPECT_EQ(LoadImageFile(dir.Write("x.srm", Concat(CopierHeader(8), Bytes(1024)))), FileKind::RealTime);
  // An SRAM header with 2 KB of data named .srm keeps its header flag.
  EXPECT_EQ(LoadImageFile(dir.Write("y.srm", Concat(CopierHeader(5), Bytes(2048)))), FileKind::Sram);
  EXPECT_TRUE(SramHasCopierHeader);
  // Unknown type 9: the header is ignored and the .srm size rule applies to the whole file.
  Bytes typeNine = Concat(CopierHeader(9), Bytes(4096 - 512));
  EXPECT_EQ(LoadImageFile(dir.Write("z.srm", typeNine)), FileKind::Sram);
  EXPECT_FALSE(SramHasCopierHeader);
}

TEST_F(LoadImageFileTest, RealTimeSaveEnabledOnlyForSwc) {
  const Bytes rts = Concat(CopierHeader(8), Bytes(4096));
  const std::string path = dir.Write("game.rts", rts);
  EXPECT_EQ(LoadImageFile(path), FileKind::RealTime);
  EXPECT_EQ(RealTimePath, path);
  EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_REALTIME));
  EXPECT_EQ(window.ControlText(IDC_REALTIME_FILE), "game.rts");

  SelectedDevice = kDeviceSmd;
  RealTimePath.clear();
  EXPECT_EQ(LoadImageFile(path), FileKind::RealTime);
  EXPECT_EQ(RealTimePath, path);
  EXPECT_TRUE(window.ControlEnabled(IDC_LABEL_REALTIME_FILE));
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_REALTIME));
}

// --- ROM images ------------------------------------------------------------

TEST_F(LoadImageFileTest, SnesRomFillsStateFieldsAndMenus) {
  testing::SnesFields fields;
  fields.title = "SUPER TEST";
  fields.makeup = 0x31;
  fields.romSizeCode = 9;
  fields.sramSizeCode = 3;
  fields.regionCode = 0x02;
  fields.makerCode = 0x33;
  fields.version = 2;
  const Bytes image = testing::MakeSnesImage(0x10000, true, true, fields);
  const std::string path = dir.Write("game.smc", image);
  ASSERT_EQ(LoadImageFile(path), FileKind::Rom);
  EXPECT_EQ(RomPath, path);
  EXPECT_TRUE(RomHasCopierHeader);
  EXPECT_TRUE(RomIsHiRom);
  EXPECT_TRUE(std::equal(RomHeader.begin(), RomHeader.begin() + 64, image.begin() + 0x101C0));
  EXPECT_EQ(LastDirectory, dir.root().string());

  for (int id : {IDM_UPLOAD_AND_RUN, IDM_UPLOAD_AND_RUN_REALTIME, IDM_UPLOAD_ROM}) {
    EXPECT_TRUE(window.MenuItemEnabled(id)) << id;
  }
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_ROM_IPS));
  for (int id = IDC_LABEL_ROM_FILE; id <= IDC_LABEL_VERSION; ++id) EXPECT_TRUE(window.ControlEnabled(id)) << id;
  EXPECT_EQ(window.ControlText(IDC_ROM_FILE), "game.smc");
  EXPECT_EQ(window.ControlText(IDC_NAME), "SUPER TEST           ");
  EXPECT_EQ(window.ControlText(IDC_MAKEUP), "Fast HiROM");
  // 64 KB of data is half an Mbit, which counts as a whole one.
  EXPECT_EQ(window.ControlText(IDC_ROM_SIZE), "4Mb (1Mb)");
  EXPECT_EQ(window.ControlText(IDC_SRAM_SIZE), "64kb");
  EXPECT_EQ(window.ControlText(IDC_REGION), "Europe");
  EXPECT_EQ(window.ControlText(IDC_MAKER), "Nintendo");
  EXPECT_EQ(window.ControlText(IDC_VERSION), "1.2");
}

TEST_F(LoadImageFileTest, HeaderSearchDecidesCopierHeaderNotItsBytes) {
  // Bytes 8 to 10 say "SWC ROM", but the block at 0x7FC0 makes it headerless.
  Bytes image = testing::MakeSnesImage(0x8000, false, false);
  image[8] = 0xAA;
  image[9] = 0xBB;
  image[10] = 4;
  ASSERT_EQ(LoadImageFile(dir.Write("x.swc", image)), FileKind::Rom);
  EXPECT_FALSE(RomHasCopierHeader);
  EXPECT_FALSE(RomIsHiRom);
}

TEST_F(LoadImageFileTest, GenesisRomOnSmdGreysSnesOnlyFields) {
  SelectedDevice = kDeviceSmd;
  RomIsHiRom = true;
  window.SetControlText(IDC_MAKEUP, "kept");
  window.SetControlText(IDC_SRAM_SIZE, "kept");
  window.SetControlText(IDC_VERSION, "kept");
  testing::GenesisFields fields;
  fields.title = "SONIC";
  fields.makerField = "(C)T-81 1992.MAY";
  fields.region = "J U";
  const Bytes plain = testing::MakeGenesisRom(0x80000, fields);
  const std::string path = dir.Write("game.smd", testing::ToSmdFile(plain));
  ASSERT_EQ(LoadImageFile(path), FileKind::Rom);
  EXPECT_TRUE(RomHasCopierHeader);
  EXPECT_TRUE(RomIsHiRom);  // untouched by a Genesis image
  EXPECT_TRUE(std::equal(RomHeader.begin(), RomHeader.end(), plain.begin() + 0x100));
  EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_AND_RUN));
  EXPECT_FALSE(window.MenuItemEnabled(IDM_UPLOAD_AND_RUN_REALTIME));
  EXPECT_TRUE(window.MenuItemEnabled(IDM_UPLOAD_ROM));
  for (int id : {IDC_LABEL_ROM_FILE, IDC_LABEL_NAME, IDC_LABEL_ROM_SIZE, IDC_LABEL_REGION, IDC_LABEL_MAKER}) {
    EXPECT_TRUE(window.ControlEnabled(id)) << id;
  }
  for (int id : {IDC_LABEL_MAKEUP, IDC_LABEL_SRAM_SIZE, IDC_LABEL_VERSION}) EXPECT_FALSE(window.ControlEnabled(id));
  EXPECT_EQ(window.ControlText(IDC_NAME).substr(0, 6), "SONIC ");
  EXPECT_EQ(window.ControlText(IDC_ROM_SIZE), "4Mb");
  EXPECT_EQ(window.ControlText(IDC_REGION), "Japan, USA");
  EXPECT_EQ(window.ControlText(IDC_MAKER), "Acclaim or Flying Edge");
  for (int id : {IDC_MAKEUP, IDC_SRAM_SIZE, IDC_VERSION}) EXPECT_EQ(window.ControlText(id), "kept");
}

TEST_F(LoadImageFileTest, SwcSizeBound) {
  // HiROM with copier header: the block sits at 0x101C0, well inside the file.
  Bytes image = testing::MakeSnesImage(0x10000, true, true);
  image.resize(6291968);
  EXPECT_EQ(LoadImageFile(dir.Write("max.swc", image)), FileKind::Rom);
  image.push_back(0);
  RomPath.clear();
  EXPECT_EQ(LoadImageFile(dir.Write("over.swc", image)), FileKind::None);
  EXPECT_TRUE(RomPath.empty());
}

TEST_F(LoadImageFileTest, SmdSizeBound) {
  SelectedDevice = kDeviceSmd;
  Bytes image = testing::MakeGenesisRom(0x1000);
  image.resize(4194816);
  EXPECT_EQ(LoadImageFile(dir.Write("max.bin", image)), FileKind::Rom);
  EXPECT_FALSE(RomHasCopierHeader);
  image.push_back(0);
  RomPath.clear();
  EXPECT_EQ(LoadImageFile(dir.Write("over.bin", image)), FileKind::None);
  EXPECT_TRUE(RomPath.empty());
}

TEST_F(LoadImageFileTest, DeviceChoosesHeaderSearch) {
  const std::string snes = dir.Write("s.smc", testing::MakeSnesImage(0x8000, false, false));
  const std::string genesis = dir.Write("g.bin", testing::MakeGenesisRom(0x4000));
  EXPECT_EQ(LoadImageFile(genesis), FileKind::None);
  SelectedDevice = kDeviceSmd;
  EXPECT_EQ(LoadImageFile(snes), FileKind::None);
  EXPECT_EQ(LoadImageFile(genesis), FileKind::Rom);
}

// --- refusals --------------------------------------------------------------

TEST_F(LoadImageFileTest, RefusedFilesChangeNothing) {
  const std::string rom = dir.Write("game.smc", testing::MakeSnesImage(0x8000, false, false));
  ASSERT_EQ(LoadImageFile(rom), FileKind::Rom);
  const std::string name = window.ControlText(IDC_NAME);
  const std::string folder = LastDirectory;

  testing::ScratchDir other;
  EXPECT_EQ(LoadImageFile(other.PathOf("missing.smc")), FileKind::None);
  EXPECT_EQ(LoadImageFile(other.Write("short.smc", Bytes(15, 0xAA))), FileKind::None);
  EXPECT_EQ(LoadImageFile(other.Write("empty.srm", Bytes())), FileKind::None);
  EXPECT_EQ(LoadImageFile(other.Write("noise.smc", Bytes(0x20000, 0x5A))), FileKind::None);
  EXPECT_EQ(LoadImageFile(other.root().string()), FileKind::None);
  EXPECT_EQ(LoadImageFile(""), FileKind::None);
  EXPECT_EQ(RomPath, rom);
  EXPECT_EQ(LastDirectory, folder);
  EXPECT_EQ(window.ControlText(IDC_ROM_FILE), "game.smc");
  EXPECT_EQ(window.ControlText(IDC_NAME), name);
}

TEST_F(LoadImageFileTest, PathLongerThanSlotIsRefusedNotCut) {
  const std::string prefix = dir.root().string() + "/";
  ASSERT_LT(prefix.size(), 200u);
  const std::string fits = prefix + std::string(kMaxPathLength - prefix.size() - 4, 'a') + ".ips";
  ASSERT_EQ(fits.size(), kMaxPathLength);
  Bytes patch = PatchBytes(20);
  dir.Write(fits.substr(prefix.size()), patch);
  EXPECT_EQ(LoadImageFile(fits), FileKind::Patch);
  EXPECT_EQ(PatchPath, fits);

  const std::string tooLong = prefix + std::string(kMaxPathLength - prefix.size() - 3, 'b') + ".ips";
  ASSERT_EQ(tooLong.size(), kMaxPathLength + 1);
  dir.Write(tooLong.substr(prefix.size()), patch);
  EXPECT_EQ(LoadImageFile(tooLong), FileKind::None);
  EXPECT_EQ(PatchPath, fits);
}

TEST_F(LoadImageFileTest, EmbeddedNulIsRefused) {
  const std::string patch = dir.Write("p.ips", PatchBytes(20));
  EXPECT_EQ(LoadImageFile(patch + std::string("\0.bin", 5)), FileKind::None);
  EXPECT_TRUE(PatchPath.empty());
}

}  // namespace
}  // namespace ql
