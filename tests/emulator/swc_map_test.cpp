// The SWC address map as the transfers use it.
#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return bytes;
}

class SwcMapTest : public ::testing::Test {
 protected:
  explicit SwcMapTest(Options options = {}) : copier_(options, clock_), pc_(copier_) {}
  VirtualClock clock_;
  Copier copier_;
  PcSide pc_;
};

TEST_F(SwcMapTest, UploadHeaderAt0x0400LandsInTheHeader) {
  auto header = Pattern(512, 1);
  ASSERT_TRUE(pc_.SelectBankPage(0, 0));
  ASSERT_TRUE(pc_.Write(0x0400, header));
  EXPECT_TRUE(std::equal(header.begin(), header.end(), copier_.UploadHeader().begin()));
  // Its neighbours are not part of it.
  ASSERT_TRUE(pc_.WriteByte(0x03FF, 0xAB));
  ASSERT_TRUE(pc_.WriteByte(0x0600, 0xCD));
  EXPECT_TRUE(std::equal(header.begin(), header.end(), copier_.UploadHeader().begin()));
}

TEST_F(SwcMapTest, RomBlocksLandInTheirPagesBelowAndAbove4MB) {
  for (std::uint32_t block : {0u, 1u, 5u, 511u, 512u, 600u, 767u}) {
    const auto data = Pattern(8192, block);
    ASSERT_TRUE(pc_.WriteByte(0xC010, static_cast<std::uint8_t>(block / 512)));
    ASSERT_TRUE(pc_.SelectBankPage(static_cast<std::uint8_t>(block / 4), block % 4));
    ASSERT_TRUE(pc_.Write(0x8000, data));
    EXPECT_EQ(copier_.DramPage(block), data) << "block " << block;
    EXPECT_EQ(pc_.Read(0x8000, 8192), data) << "block " << block;
  }
  EXPECT_EQ(copier_.DramSize(), 768u * 8192);
}

TEST_F(SwcMapTest, DramPageIsChosenByC010AboveThe4MBThePageRegisterReaches) {
  ASSERT_TRUE(pc_.WriteByte(0xC010, 0));
  ASSERT_TRUE(pc_.SelectBankPage(0x10, 2));
  ASSERT_TRUE(pc_.WriteByte(0x8000, 0x11));
  ASSERT_TRUE(pc_.WriteByte(0xC010, 1));
  ASSERT_TRUE(pc_.WriteByte(0x8000, 0x22));
  EXPECT_EQ(copier_.DramPage(0x42)[0], 0x11);
  EXPECT_EQ(copier_.DramPage(512 + 0x42)[0], 0x22);
  ASSERT_TRUE(pc_.WriteByte(0xC010, 0));
  EXPECT_EQ(pc_.ReadByte(0x8000), 0x11);
}

TEST_F(SwcMapTest, UnwrittenDramReadsZeroAndDoesNotGrow) {
  ASSERT_TRUE(pc_.SelectBankPage(0x50, 1));
  const auto data = pc_.Read(0x8000, 8192);
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, std::vector<std::uint8_t>(8192, 0));
  EXPECT_EQ(copier_.DramSize(), 0u);
}

TEST_F(SwcMapTest, SramPagesAfterSetUpWritesRoundTrip) {
  const auto sram = Pattern(32768, 9);
  ASSERT_TRUE(pc_.SelectBankPage(0, 0));
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  ASSERT_TRUE(pc_.WriteByte(0xC008, 0));
  for (std::uint8_t q = 0; q < 4; ++q) {
    ASSERT_TRUE(pc_.SelectBankPage(0x40, q));
    ASSERT_TRUE(pc_.Write(0x2000, std::vector<std::uint8_t>(sram.begin() + q * 8192, sram.begin() + (q + 1) * 8192)));
  }
  EXPECT_EQ(copier_.Sram(), sram);
  // A download repeats the set-up and reads it back.
  ASSERT_TRUE(pc_.SelectBankPage(0, 0));
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  ASSERT_TRUE(pc_.WriteByte(0xC008, 0));
  ASSERT_TRUE(pc_.SelectBankPage(0x40, 3));
  EXPECT_EQ(pc_.Read(0x2000, 8192), std::vector<std::uint8_t>(sram.begin() + 3 * 8192, sram.end()));
}

TEST_F(SwcMapTest, SramIsNotReachedWithoutItsSetUpOrOnOtherPages) {
  ASSERT_TRUE(pc_.WriteByte(0xE00C, 0));  // cartridge mode: 0x2000 shows the cartridge
  ASSERT_TRUE(pc_.SelectBankPage(0x40, 0));
  ASSERT_TRUE(pc_.WriteByte(0x2000, 0x77));
  EXPECT_EQ(copier_.Sram()[0], 0);
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  ASSERT_TRUE(pc_.WriteByte(0xC008, 0));
  ASSERT_TRUE(pc_.SelectBankPage(0x41, 0));  // page 0x104: past the 32 KB
  ASSERT_TRUE(pc_.WriteByte(0x2000, 0x77));
  EXPECT_EQ(copier_.Sram(), std::vector<std::uint8_t>(32768, 0));
}

}  // namespace
}  // namespace ql::emu::testing
