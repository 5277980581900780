// The plugged-in Super NES cartridge as the SWC shows it: LoROM and HiROM
// boards with their mirrors, read the way detection and download read it.
#include "emulator/cartridge.h"

#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"
#include "tests/emulator/test_data.h"

namespace ql::emu::testing {
namespace {

constexpr std::uint32_t kKB = 1024;

TEST(MirrorRomOffset, PowerOfTwoRomsRepeatWhole) {
  EXPECT_EQ(MirrorRomOffset(0x1FFFF, 128 * kKB), 0x1FFFFu);
  EXPECT_EQ(MirrorRomOffset(0x20000, 128 * kKB), 0u);
  EXPECT_EQ(MirrorRomOffset(0x3FFFFF, 128 * kKB), 0x1FFFFu);
  EXPECT_EQ(MirrorRomOffset(0x123456, 4096 * kKB), 0x123456u);
}

TEST(MirrorRomOffset, UpperPartOfAnOddSizedRomRepeatsWithinItself) {
  // 768 KB = 512 KB + 256 KB: above 768 KB the 256 KB part comes again.
  EXPECT_EQ(MirrorRomOffset(800 * kKB, 768 * kKB), 544 * kKB);
  EXPECT_EQ(MirrorRomOffset(1024 * kKB, 768 * kKB), 0u);
  EXPECT_EQ(MirrorRomOffset(1024 * kKB + 600 * kKB, 768 * kKB), 600 * kKB);
  // 3 MB: 0x300000-0x3FFFFF shows 0x200000-0x2FFFFF.
  EXPECT_EQ(MirrorRomOffset(0x312345, 3 * 1024 * kKB), 0x212345u);
  EXPECT_EQ(MirrorRomOffset(5, 0), 0u);
}

class CartridgeTest : public ::testing::Test {
 public:
  CartridgeTest() : copier_(Options{}, clock_), pc_(copier_) {}

  // The 8 KB at bank:quarter, upper half through 0xA000 or lower half through 0x2000.
  std::vector<std::uint8_t> Piece(std::uint8_t bank, std::uint8_t quarter, bool lowerHalf) {
    EXPECT_TRUE(pc_.SelectBankPage(bank, quarter));
    auto data = pc_.Read(lowerHalf ? 0x2000 : 0xA000, 8192);
    return data ? *data : std::vector<std::uint8_t>{};
  }
  std::uint8_t Sample(std::uint8_t bank, std::uint8_t quarter) {
    EXPECT_TRUE(pc_.SelectBankPage(bank, quarter));
    return static_cast<std::uint8_t>(pc_.ReadByte(0xA0A0));
  }
  void Plug(std::uint32_t size, bool hiRom, std::uint32_t seed = 7) {
    rom_ = Pattern(size, seed);
    copier_.SetCartridge(rom_, hiRom);
    ASSERT_TRUE(pc_.WriteByte(0xE00C, 0));
  }

  VirtualClock clock_;
  Copier copier_;
  PcSide pc_;
  std::vector<std::uint8_t> rom_;
};

TEST_F(CartridgeTest, LoRomDownloadOrderReproducesTheImage) {
  Plug(1024 * kKB, false);
  std::vector<std::uint8_t> read;
  for (std::uint32_t bank = 0; bank < 32; ++bank)
    for (std::uint8_t q = 0; q < 4; ++q) {
      const auto piece = Piece(static_cast<std::uint8_t>(bank), q, false);
      read.insert(read.end(), piece.begin(), piece.end());
    }
  EXPECT_TRUE(read == rom_);
}

TEST_F(CartridgeTest, HiRomDownloadOrderReproducesTheImage) {
  Plug(1024 * kKB, true);
  std::vector<std::uint8_t> read;
  for (std::uint32_t bank = 0; bank < 16; ++bank) {
    for (std::uint8_t q = 0; q < 4; ++q) {
      const auto piece = Piece(static_cast<std::uint8_t>(bank + 0x40), q, true);
      read.insert(read.end(), piece.begin(), piece.end());
    }
    for (std::uint8_t q = 0; q < 4; ++q) {
      const auto piece = Piece(static_cast<std::uint8_t>(bank), q, false);
      read.insert(read.end(), piece.begin(), piece.end());
    }
  }
  EXPECT_TRUE(read == rom_);
}

// Samples of banks 0x80-0xFF repeat with the ROM's period in banks, and not
// at half of it.
void ExpectPeriod(CartridgeTest* test, std::uint32_t periodBanks) {
  for (std::uint32_t i = 0; i + periodBanks < 128; i += 3)
    for (std::uint8_t q = 0; q < 4; ++q)
      ASSERT_EQ(test->Sample(static_cast<std::uint8_t>(0x80 + i), q),
                test->Sample(static_cast<std::uint8_t>(0x80 + i + periodBanks), q))
          << "bank " << i << " quarter " << int(q);
  if (periodBanks < 2) return;
  int differing = 0;
  for (std::uint8_t q = 0; q < 4; ++q)
    differing += test->Sample(0x80, q) != test->Sample(static_cast<std::uint8_t>(0x80 + periodBanks / 2), q);
  EXPECT_GT(differing, 0) << "no repeat at half the period";
}

TEST_F(CartridgeTest, LoRomSmallerThanItsRangeRepeats) {
  for (std::uint32_t size : {128u, 256u, 512u, 1024u, 2048u}) {
    SCOPED_TRACE(size);
    Plug(size * kKB, false, size);
    ExpectPeriod(this, size / 32);
  }
}

TEST_F(CartridgeTest, HiRomSmallerThanItsRangeRepeats) {
  for (std::uint32_t size : {128u, 256u, 512u, 1024u, 2048u, 4096u}) {
    SCOPED_TRACE(size);
    Plug(size * kKB, true, size);
    ExpectPeriod(this, size / 64);
  }
}

TEST_F(CartridgeTest, FourMegabyteLoRomDoesNotRepeat) {
  Plug(4096 * kKB, false);
  EXPECT_EQ(Piece(0xFF, 3, false), Slice(rom_, 4096 * kKB - 8192, 8192));
  EXPECT_EQ(Piece(0x7F, 3, false), Slice(rom_, 4096 * kKB - 8192, 8192)) << "banks 0x00-0x7F show the same";
  EXPECT_EQ(Piece(0xA1, 2, false), Slice(rom_, 0x21 * 32 * kKB + 2 * 8192, 8192));
  EXPECT_NE(Piece(0xC0, 0, false), Piece(0x80, 0, false));
}

TEST_F(CartridgeTest, OddSizedLoRomRepeatsItsUpperPart) {
  Plug(3 * 1024 * kKB, false);  // 96 banks; banks 96-127 show 64-95
  EXPECT_EQ(Piece(0x80 + 96, 1, false), Slice(rom_, 64 * 32 * kKB + 8192, 8192));
  EXPECT_EQ(Piece(0x80 + 127, 3, false), Slice(rom_, 96 * 32 * kKB - 8192, 8192));
}

TEST_F(CartridgeTest, LoRomBank40LowerHalfMirrorsItsUpperHalf) {
  Plug(1024 * kKB, false);
  for (std::uint8_t q = 0; q < 4; ++q) EXPECT_EQ(Piece(0x40, q, true), Piece(0x40, q, false));
  // Banks without bit 6 have no cartridge below 0x8000.
  EXPECT_EQ(Piece(0x00, 1, true), std::vector<std::uint8_t>(8192, 0x00));
  EXPECT_EQ(Piece(0x85, 1, true), std::vector<std::uint8_t>(8192, 0x85));
}

TEST_F(CartridgeTest, HiRomBanksMapSixtyFourKilobytesAndMirrorAbove0x80) {
  Plug(2048 * kKB, true);
  EXPECT_EQ(Piece(0x45, 2, true), Slice(rom_, 5 * 65536 + 2 * 8192, 8192));
  EXPECT_EQ(Piece(0x05, 2, false), Slice(rom_, 5 * 65536 + 0x8000 + 2 * 8192, 8192));
  EXPECT_EQ(Piece(0x85, 2, false), Piece(0x05, 2, false));
  EXPECT_EQ(Piece(0xC5, 2, false), Piece(0x05, 2, false));
  EXPECT_NE(Piece(0x40, 0, true), Piece(0x40, 0, false));
}

TEST_F(CartridgeTest, HeaderIsReadAtPage3Offset0x1FC0) {
  Plug(1024 * kKB, false);
  ASSERT_TRUE(pc_.SelectBankPage(0, 3));
  EXPECT_EQ(pc_.Read(0xBFC0, 64), Slice(rom_, 0x7FC0, 64));
  Plug(1024 * kKB, true);
  ASSERT_TRUE(pc_.SelectBankPage(0, 3));
  ASSERT_TRUE(pc_.WriteByte(0xE00C, 0));
  EXPECT_EQ(pc_.ReadByte(0xBFD8), rom_[0xFFD8]);
}

TEST_F(CartridgeTest, WritesToTheCartridgeAreDropped) {
  Plug(128 * kKB, false);
  ASSERT_TRUE(pc_.SelectBankPage(0, 0));
  ASSERT_TRUE(pc_.WriteByte(0xA000, static_cast<std::uint8_t>(~rom_[0])));
  EXPECT_EQ(pc_.ReadByte(0xA000), rom_[0]);
}

TEST_F(CartridgeTest, UnpluggingLeavesAnOpenBus) {
  Plug(128 * kKB, false);
  copier_.SetCartridge({}, false);
  EXPECT_EQ(Sample(0x84, 0), 0x84);
}

TEST_F(CartridgeTest, CopierModeHidesTheCartridge) {
  Plug(128 * kKB, false);
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  ASSERT_TRUE(pc_.SelectBankPage(0x80, 0));
  EXPECT_EQ(pc_.ReadByte(0xA0A0), 0) << "page 0x200 is past the real-time area";
}

}  // namespace
}  // namespace ql::emu::testing
