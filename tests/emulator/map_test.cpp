// The SWC and SMD address maps and the plugged cartridge, as transfers use them.
#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

TEST(SwcMap, UploadHeaderAt0x0400AndDramPagesBelowAndAbove4MB) {
  Rig rig;
  const Bytes header = Pattern(512, 1);
  ASSERT_TRUE(rig.pc.Write(0x0400, header));
  ASSERT_TRUE(rig.pc.Write(0x03FF, {0xAB}) && rig.pc.Write(0x0600, {0xCD}));  // its neighbours are not part of it
  EXPECT_EQ(Bytes(rig.copier.UploadHeader().begin(), rig.copier.UploadHeader().end()), header);
  ASSERT_TRUE(rig.pc.Page(0x50, 1));
  EXPECT_EQ(rig.pc.Read(0x8000, 8192), Bytes(8192, 0));
  EXPECT_EQ(rig.copier.DramSize(), 0u) << "a read does not grow the DRAM";
  // Block i goes to page i: the page register reaches 4 MB, 0xC010 the line above.
  for (std::uint32_t block : {1u, 0x42u, 511u, 767u, 512u, 0x242u}) {
    const Bytes data = Pattern(8192, block);
    ASSERT_TRUE(rig.pc.Write(0xC010, {std::uint8_t(block / 512)}) && rig.pc.Page(std::uint16_t(block % 512)) &&
                rig.pc.Write(0x8000, data));
    EXPECT_EQ(rig.copier.DramPage(block), data) << block;
  }
  ASSERT_TRUE(rig.pc.Write(0xC010, {0}));
  EXPECT_EQ(rig.pc.Read(0x8000, 8192), Pattern(8192, 0x42)) << "the same page register below 4 MB";
  EXPECT_EQ(rig.copier.DramSize(), 768u * 8192);
}

TEST(SwcMap, SramPages0x100To0x103OnlyAfterTheSetUpWrites) {
  Rig rig;
  const Bytes sram = Pattern(32768, 9);
  const auto setUp = [&] { return rig.pc.Page(0) && rig.pc.Write(0xE00D, {0}) && rig.pc.Write(0xC008, {0}); };
  ASSERT_TRUE(rig.pc.Page(0x40, 0) && rig.pc.Write(0x2000, {0x77}) && setUp());
  for (std::uint8_t q = 0; q < 4; ++q)
    ASSERT_TRUE(rig.pc.Page(0x40, q) && rig.pc.Write(0x2000, Slice(sram, q * 8192, 8192)));
  ASSERT_TRUE(rig.pc.Page(0x41, 0) && rig.pc.Write(0x2000, {0x77}));  // page 0x104: past the 32 KB
  EXPECT_EQ(rig.copier.Sram(), sram);
  ASSERT_TRUE(rig.pc.Write(0xE00C, {0}) && setUp() && rig.pc.Page(0x40, 3));
  EXPECT_EQ(rig.pc.Read(0x2000, 8192), Slice(sram, 3 * 8192, 8192));
}

// The probe a real-time transfer makes: page 31, then 0xE00D, then "SUB" at 0xB080.
bool HasSignature(PcSide& pc) {
  return pc.Page(7, 3) && pc.Write(0xE00D, {0}) && pc.Read(0xB080, 3) == Bytes{'S', 'U', 'B'};
}

TEST(SwcMap, RealTimeAreaBehindTheSignature) {
  Rig rig;
  ASSERT_TRUE(rig.pc.Page(7, 3));
  EXPECT_EQ(rig.pc.ReadByte(0xB080), 0) << "no 0xE00D write yet";
  const Bytes area = Pattern(262144, 4);
  ASSERT_TRUE(HasSignature(rig.pc));
  EXPECT_EQ(rig.pc.Read(0xB07F, 5), (Bytes{0, 'S', 'U', 'B', 0}));
  for (std::uint16_t j = 0; j < 32; ++j)
    ASSERT_TRUE(rig.pc.Page(j) && rig.pc.Write(0xA000, Slice(area, j * 8192, 8192)));
  EXPECT_EQ(rig.copier.RealTimeArea(), area);
  EXPECT_EQ(rig.copier.DramSize(), 0u);
  ASSERT_TRUE(HasSignature(rig.pc)) << "data under the signature does not hide it";
  ASSERT_TRUE(rig.pc.Page(7, 3));
  EXPECT_EQ(rig.pc.Read(0xA000, 8192), Slice(area, 31 * 8192, 8192)) << "a page selection hides it again";
  ASSERT_TRUE(rig.pc.Page(7, 2) && rig.pc.Write(0xE00D, {0}));
  EXPECT_EQ(rig.pc.ReadByte(0xB080), area[30 * 8192 + 0x1080]) << "only page 31 shows it";
}

TEST(SwcMap, WithoutTheSignatureTheAreaGoesToTheTopDramBanks) {
  Options options;
  options.realTimeSignature = false;
  Rig rig(options);
  EXPECT_FALSE(HasSignature(rig.pc));
  const Bytes area = Pattern(262144, 5);
  for (std::uint16_t j = 0; j < 32; ++j) {
    ASSERT_TRUE(rig.pc.Page(0xD8 + j) && rig.pc.Write(0xC010, {1}) &&
                rig.pc.Write(0x8000, Slice(area, j * 8192, 8192)));
    EXPECT_EQ(rig.copier.DramPage(512 + 0xD8 + j), Slice(area, j * 8192, 8192));
  }
  EXPECT_EQ(rig.copier.RealTimeArea(), Bytes(262144, 0));
  // A copier with less memory: a bank without DRAM keeps nothing.
  rig.copier.SetBankWritable(0x76, false);
  ASSERT_TRUE(rig.pc.Page(0x76, 0) && rig.pc.Write(0x8000, {0xFF}));
  EXPECT_EQ(rig.pc.ReadByte(0x8000), 0);
}

// The 8 KB a read of bank:quarter shows in cartridge mode: the upper half
// through 0xA000, the lower through 0x2000; -1 where the bus floats and reads as the bank.
TEST(Cartridge, LoRomAndHiRomBoardsWithTheirMirrors) {
  constexpr bool Lo = false, Hi = true, U = false, L = true;
  const std::tuple<std::uint32_t, bool, std::uint8_t, std::uint8_t, bool, std::int64_t> cases[] = {
      {1024, Lo, 0x00, 0, U, 0},        {1024, Lo, 0x00, 3, U, 0x6000},   {1024, Lo, 0x1F, 3, U, 0xFE000},
      {1024, Lo, 0x20, 0, U, 0},        {1024, Lo, 0xA1, 1, U, 0xA000},   {1024, Lo, 0x40, 2, L, 0x4000},
      {1024, Lo, 0x00, 1, L, -1},       {1024, Lo, 0x85, 1, L, -1},       {128, Lo, 0x84, 0, U, 0},
      {128, Lo, 0x82, 0, U, 0x10000},   {768, Lo, 0x99, 0, U, 0x88000},   {3072, Lo, 0xFF, 3, U, 0x2FE000},
      {4096, Lo, 0xFF, 3, U, 0x3FE000}, {4096, Lo, 0x7F, 3, U, 0x3FE000}, {4096, Lo, 0xC0, 0, U, 0x200000},
      {2048, Hi, 0x00, 3, U, 0xE000},   {2048, Hi, 0x45, 2, L, 0x54000},  {2048, Hi, 0x05, 2, U, 0x5C000},
      {2048, Hi, 0x85, 2, U, 0x5C000},  {2048, Hi, 0xC5, 2, U, 0x5C000},  {2048, Hi, 0x65, 0, L, 0x50000},
      {128, Hi, 0x42, 1, L, 0x2000},    {128, Hi, 0x01, 3, U, 0x1E000},   {4096, Hi, 0x7F, 3, U, 0x3FE000},
      {4096, Hi, 0x00, 0, L, -1}};
  for (const auto& [kb, hiRom, bank, quarter, lower, offset] : cases) {
    SCOPED_TRACE(::testing::Message() << kb << (hiRom ? " KB HiROM bank " : " KB LoROM bank ") << std::hex << int(bank)
                                      << " quarter " << int(quarter) << (lower ? " lower" : ""));
    Rig rig;
    const Bytes rom = Pattern(kb * 1024, kb);
    rig.copier.SetCartridge(rom, hiRom);
    ASSERT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(bank, quarter));
    const Bytes expected = offset < 0 ? Bytes(8192, bank) : Slice(rom, std::size_t(offset), 8192);
    EXPECT_EQ(rig.pc.Read(lower ? 0x2000 : 0xA000, 8192), expected);
  }
}

TEST(Cartridge, ReadOnlyAndAbsentAsTheBankNumber) {
  Rig rig;
  const Bytes rom = Pattern(128 * 1024, 3);
  rig.copier.SetCartridge(rom, false);
  ASSERT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(0) && rig.pc.Write(0xA000, {std::uint8_t(~rom[0])}));
  EXPECT_EQ(rig.pc.ReadByte(0xA000), rom[0]);
  rig.copier.SetCartridge({}, false);
  ASSERT_TRUE(rig.pc.Write(0xE00C, {0}));
  for (std::uint8_t bank : {0x40, 0x84, 0xFF}) {
    ASSERT_TRUE(rig.pc.Page(bank, 2));
    EXPECT_EQ(rig.pc.Read(0xA0A0, 4), Bytes(4, bank));
    EXPECT_EQ(rig.pc.ReadByte(0x20A0), bank);
  }
}

TEST(SmdMap, CartridgeInterleavedAndReadOnlyWithItsSizeAt0xDFF1) {
  Rig rig(Make(Device::Smd));
  const std::pair<std::uint32_t, int> sizes[] = {
      {2u << 20, 16}, {(1536u << 10) + 1, 13}, {0, 0}};  // a part unit counts
  for (auto [bytes, units] : sizes) {
    rig.copier.SetCartridge(Bytes(bytes), false);
    EXPECT_EQ(rig.pc.ReadByte(0xDFF1), units);
  }
  const Bytes plain = Pattern(512 * 1024, 6);
  rig.copier.SetCartridge(plain, false);
  ASSERT_TRUE(rig.pc.Write(0x2001, {0}));
  for (std::uint16_t page : {0, 5, 37}) {  // past its 32 pages the cartridge repeats
    ASSERT_TRUE(rig.pc.Page(page) && rig.pc.Write(0x4000, {0x01}));
    const std::size_t at = page % 32 * 16384;  // odd bytes first, then even bytes
    EXPECT_EQ(rig.pc.Read(0x4000, 3), (Bytes{plain[at + 1], plain[at + 3], plain[at + 5]})) << page;
    EXPECT_EQ(rig.pc.Read(0x5FFE, 4), (Bytes{plain[at + 16381], plain[at + 16383], plain[at], plain[at + 2]})) << page;
  }
  EXPECT_EQ(rig.copier.Sram(), Bytes(32768, 0)) << "transfer mode hides the SRAM";
}

}  // namespace
}  // namespace ql::emu::testing
