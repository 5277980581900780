// The SMD address map as the transfers use it.
#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"
#include "tests/emulator/test_data.h"

namespace ql::emu::testing {
namespace {

Options Smd() {
  Options options;
  options.device = Device::Smd;
  return options;
}

class SmdMapTest : public ::testing::Test {
 protected:
  SmdMapTest() : copier_(Smd(), clock_), pc_(copier_) {}
  VirtualClock clock_;
  Copier copier_;
  PcSide pc_;
};

TEST_F(SmdMapTest, RomUploadPutsHeaderAndSixteenKilobytePages) {
  const auto header = Pattern(512, 3);
  ASSERT_TRUE(pc_.Write(0xDC00, header));
  ASSERT_TRUE(pc_.WriteByte(0x2001, 0));
  EXPECT_TRUE(std::equal(header.begin(), header.end(), copier_.UploadHeader().begin()));
  for (std::uint32_t page : {0u, 1u, 200u, 255u}) {
    const auto block = Pattern(16384, page);
    ASSERT_TRUE(pc_.SelectPage(static_cast<std::uint16_t>(page)));
    ASSERT_TRUE(pc_.Write(0x8000, block));
    EXPECT_EQ(copier_.DramPage(page), block);
  }
  EXPECT_EQ(copier_.DramSize(), 256u * 16384);
  EXPECT_EQ(copier_.Events(), (std::vector<std::string>{"W 2001 00"}));
  EXPECT_EQ(copier_.SmdMode(), 0);
}

TEST_F(SmdMapTest, SramUploadAfterMode4FillsBothHalves) {
  const auto sram = Pattern(32768, 8);
  ASSERT_TRUE(pc_.WriteByte(0x2001, 4));
  ASSERT_TRUE(pc_.Write(0x4000, Slice(sram, 0, 16384)));
  ASSERT_TRUE(pc_.Write(0x8000, Slice(sram, 16384, 16384)));
  EXPECT_EQ(copier_.Sram(), sram);
  EXPECT_EQ(copier_.DramSize(), 0u);
}

TEST_F(SmdMapTest, SramDownloadWithoutSetUpFindsTheSramAfterARunAndAtPowerUp) {
  const auto sram = Pattern(32768, 2);
  copier_.Sram() = sram;
  EXPECT_EQ(pc_.Read(0x4000, 16384), Slice(sram, 0, 16384));
  ASSERT_TRUE(pc_.WriteByte(0x2001, 0));
  ASSERT_TRUE(pc_.SelectPage(0));
  ASSERT_TRUE(pc_.Write(0x8000, std::vector<std::uint8_t>(16384, 0xEE)));
  ASSERT_TRUE(pc_.WriteByte(0x2001, 3));
  EXPECT_EQ(pc_.Read(0x4000, 16384), Slice(sram, 0, 16384));
  EXPECT_EQ(pc_.Read(0x8000, 16384), Slice(sram, 16384, 16384));
  EXPECT_EQ(copier_.Events(), (std::vector<std::string>{"W 2001 00", "W 2001 03"}));
  EXPECT_EQ(copier_.SmdMode(), 3);
}

TEST_F(SmdMapTest, CartridgeSizeInUnitsOf128Kilobytes) {
  EXPECT_EQ(pc_.ReadByte(0xDFF1), 0);
  copier_.SetCartridge(Pattern(2 * 1024 * 1024, 1), false);
  EXPECT_EQ(pc_.ReadByte(0xDFF1), 16);
  copier_.SetCartridge(Pattern(1536 * 1024 + 1, 1), false);
  EXPECT_EQ(pc_.ReadByte(0xDFF1), 13) << "a part unit counts whole";
  copier_.SetCartridge({}, false);
  EXPECT_EQ(pc_.ReadByte(0xDFF1), 0);
}

TEST_F(SmdMapTest, CartridgePagesComeInterleaved) {
  const auto plain = Pattern(512 * 1024, 6);
  copier_.SetCartridge(plain, false);
  ASSERT_TRUE(pc_.WriteByte(0x2001, 0));
  for (std::uint32_t page : {0u, 5u, 31u}) {
    ASSERT_TRUE(pc_.SelectPage(static_cast<std::uint16_t>(page)));
    const auto smd = pc_.Read(0x4000, 16384);
    ASSERT_TRUE(smd);
    const std::size_t at = page * 16384;
    EXPECT_EQ((*smd)[0], plain[at + 1]);
    EXPECT_EQ((*smd)[8192], plain[at + 0]);
    EXPECT_EQ((*smd)[8191], plain[at + 16383]);
    EXPECT_EQ((*smd)[16383], plain[at + 16382]);
    EXPECT_EQ((*smd)[100], plain[at + 201]);
  }
  // Past the 32 pages of a 512 KB cartridge the pages repeat.
  ASSERT_TRUE(pc_.SelectPage(37));
  const auto mirrored = pc_.Read(0x4000, 16384);
  ASSERT_TRUE(pc_.SelectPage(5));
  EXPECT_EQ(mirrored, pc_.Read(0x4000, 16384));
}

TEST_F(SmdMapTest, CartridgeIsReadOnlyAndTransferModeHidesTheSram) {
  copier_.SetCartridge(std::vector<std::uint8_t>(131072, 0x5A), false);
  ASSERT_TRUE(pc_.WriteByte(0x2001, 0));
  ASSERT_TRUE(pc_.SelectPage(0));
  ASSERT_TRUE(pc_.WriteByte(0x4000, 0x01));
  EXPECT_EQ(pc_.ReadByte(0x4000), 0x5A);
  EXPECT_EQ(copier_.Sram()[0], 0);
}

}  // namespace
}  // namespace ql::emu::testing
