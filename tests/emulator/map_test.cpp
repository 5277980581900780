// The SWC and SMD address maps and the plugged cartridge where the transfers do
// not reach: neighbours, one-past pages, mirrors, read-only and absent cartridges.
#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

TEST(SwcMap, UploadHeaderAt0x0400AndDramPagesBelowAndAbove4MB) {
  Rig rig;
  const Bytes header = Pattern(512, 1);
  ASSERT_TRUE(rig.pc.Write(0x0400, header));
  ASSERT_TRUE(rig.pc.Write(0x03FF, {0xAB}) && rig.pc.Write(0x0600, {0xCD}));  // its neighbours are not part of it
  EXPECT_EQ(Bytes(rig.copier.UploadHeader().begin(), rig.copier.UploadHeader().end()), header);
  ASSERT_TRUE(rig.pc.Page(0x141));
  EXPECT_EQ(rig.pc.Read(0x8000, 8192), Bytes(8192, 0));
  EXPECT_EQ(rig.copier.DramSize(), 0u) << "a read does not grow the DRAM";
  // 0xC010 adds the address line above 4 MB to the page register, and clearing it takes it away.
  const Bytes low = Pattern(8192, 2), high = Pattern(8192, 3);
  ASSERT_TRUE(rig.pc.Page(0x42) && rig.pc.Write(0x8000, low));
  ASSERT_TRUE(rig.pc.Write(0xC010, {1}) && rig.pc.Page(0x42) && rig.pc.Write(0x8000, high));
  EXPECT_EQ(rig.copier.DramPage(0x242), high);
  ASSERT_TRUE(rig.pc.Write(0xC010, {0}));
  EXPECT_EQ(rig.pc.Read(0x8000, 8192), low);
  EXPECT_EQ(rig.copier.DramSize(), 0x243u * 8192);
}

TEST(SwcMap, SramIsPages0x100To0x103AfterTheSetUpWrites) {
  Rig rig;
  const Bytes sram = Pattern(32768, 9);
  ASSERT_TRUE(rig.pc.Page(0) && rig.pc.Write(0xE00D, {0}) && rig.pc.Write(0xC008, {0}));
  for (std::uint16_t page = 0x100; page < 0x104; ++page)
    ASSERT_TRUE(rig.pc.Page(page) && rig.pc.Write(0x2000, Slice(sram, (page - 0x100) * 8192, 8192)));
  ASSERT_TRUE(rig.pc.Page(0x104) && rig.pc.Write(0x2000, {0x77}));  // past the 32 KB
  EXPECT_EQ(rig.copier.Sram(), sram);
}

// The probe a real-time transfer makes: page 31, then 0xE00D, then "SUB" at 0xB080.
bool HasSignature(PcSide& pc) {
  return pc.Page(31) && pc.Write(0xE00D, {0}) && pc.Read(0xB080, 3) == Bytes{'S', 'U', 'B'};
}

TEST(SwcMap, RealTimeAreaBehindTheSignature) {
  Rig rig;
  const Bytes page = Pattern(8192, 4);
  ASSERT_TRUE(rig.pc.Page(31) && rig.pc.Write(0xA000, page));
  EXPECT_EQ(rig.pc.ReadByte(0xB080), page[0x1080]) << "no 0xE00D write yet";
  EXPECT_EQ(Slice(rig.copier.RealTimeArea(), 31 * 8192, 8192), page);
  ASSERT_TRUE(HasSignature(rig.pc)) << "data under the signature does not hide it";
  EXPECT_EQ(rig.pc.Read(0xB07F, 5), (Bytes{page[0x107F], 'S', 'U', 'B', page[0x1083]}));
  ASSERT_TRUE(rig.pc.Page(30) && rig.pc.Write(0xE00D, {0}));
  EXPECT_EQ(rig.pc.ReadByte(0xB080), 0) << "only page 31 shows it";
}

// The 8 KB a read of bank:quarter shows in cartridge mode: the upper half
// through 0xA000, the lower through 0x2000; -1 where the bus floats and reads
// as the bank. Writes change nothing.
TEST(Cartridge, MirrorsOpenBusAndAbsentSlotAreReadOnly) {
  constexpr bool Lo = false, Hi = true, U = false, L = true;
  const std::tuple<std::uint32_t, bool, std::uint8_t, std::uint8_t, bool, std::int64_t> cases[] = {
      {1024, Lo, 0x85, 1, L, -1}, {128, Hi, 0x42, 1, L, 0x2000}, {0, Lo, 0x84, 2, U, -1}, {0, Lo, 0x40, 2, L, -1}};
  for (const auto& [kb, hiRom, bank, quarter, lower, offset] : cases) {
    SCOPED_TRACE(::testing::Message() << kb << " KB, bank " << std::hex << int(bank) << (lower ? " lower" : ""));
    Rig rig;
    const Bytes rom = Pattern(kb * 1024, kb);
    rig.copier.SetCartridge(rom, hiRom);
    const Bytes expected = offset < 0 ? Bytes(8192, bank) : Slice(rom, std::size_t(offset), 8192);
    const std::uint16_t window = lower ? 0x2000 : 0xA000;
    ASSERT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(std::uint16_t(bank << 2 | quarter)));
    ASSERT_TRUE(rig.pc.Write(window, {std::uint8_t(~expected[0])}));
    EXPECT_EQ(rig.pc.Read(window, 8192), expected);
  }
}

// The size byte counts 128 KB units, a part unit too. Past its pages the
// cartridge repeats; in transfer mode a write reaches neither it nor the SRAM,
// in SRAM mode one may cross from one half of the SRAM to the other.
TEST(SmdMap, CartridgeSizeAt0xDFF1AndReadOnlyPagesThatRepeat) {
  Rig rig(Make(Device::Smd));
  rig.copier.SetCartridge(Bytes((1536u << 10) + 1), false);
  EXPECT_EQ(rig.pc.ReadByte(0xDFF1), 13);
  const Bytes plain = Pattern(512 * 1024, 6);
  rig.copier.SetCartridge(plain, false);
  const std::size_t at = 5 * 16384;  // page 37 of 32; odd bytes first
  ASSERT_TRUE(rig.pc.Write(0x2001, {0}) && rig.pc.Page(37) && rig.pc.Write(0x4000, {std::uint8_t(~plain[at + 1])}));
  EXPECT_EQ(rig.pc.Read(0x4000, 2), (Bytes{plain[at + 1], plain[at + 3]}));
  EXPECT_EQ(rig.copier.Sram(), Bytes(32768, 0)) << "transfer mode hides the SRAM";
  ASSERT_TRUE(rig.pc.Write(0x2001, {4}) && rig.pc.Write(0x7FFF, {1, 2}));
  EXPECT_EQ(Slice(rig.copier.Sram(), 16383, 2), (Bytes{1, 2}));
}

}  // namespace
}  // namespace ql::emu::testing
