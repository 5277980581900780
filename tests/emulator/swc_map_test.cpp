// The SWC address map as the transfers use it.
#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"
#include "tests/emulator/test_data.h"

namespace ql::emu::testing {
namespace {

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

// The signature probe and the area behind it, as a real-time transfer uses them.
bool HasSignature(PcSide& pc) {
  if (!pc.SelectBankPage(7, 3) || !pc.WriteByte(0xE00D, 0)) return false;
  return pc.ReadByte(0xB080) == 'S' && pc.ReadByte(0xB081) == 'U' && pc.ReadByte(0xB082) == 'B';
}

TEST_F(SwcMapTest, RealTimeAreaBehindTheSignatureRoundTripsAllPages) {
  const auto area = Pattern(262144, 4);
  ASSERT_TRUE(HasSignature(pc_));
  for (std::uint32_t j = 0; j < 32; ++j) {
    ASSERT_TRUE(pc_.SelectBankPage(static_cast<std::uint8_t>(j / 4), j % 4));
    ASSERT_TRUE(pc_.Write(0xA000, Slice(area, j * 8192, 8192)));
  }
  ASSERT_TRUE(pc_.Function(3, 0, 0, 0));
  EXPECT_EQ(copier_.RealTimeArea(), area);
  EXPECT_EQ(copier_.DramSize(), 0u) << "the area is not DRAM";
  // Page 31 holds data where the signature answers, yet reads back whole.
  ASSERT_TRUE(HasSignature(pc_));
  ASSERT_TRUE(pc_.SelectBankPage(7, 3));
  EXPECT_EQ(pc_.Read(0xA000, 8192), Slice(area, 31 * 8192, 8192));
}

TEST_F(SwcMapTest, SignatureNeedsPage31AndTheModeWrite) {
  ASSERT_TRUE(pc_.SelectBankPage(7, 3));
  EXPECT_EQ(pc_.ReadByte(0xB080), 0) << "no 0xE00D write yet";
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  EXPECT_EQ(pc_.ReadByte(0xB080), 'S');
  ASSERT_TRUE(pc_.Read(0xB07F, 5) == (std::vector<std::uint8_t>{0, 'S', 'U', 'B', 0}));
  ASSERT_TRUE(pc_.SelectBankPage(7, 2));
  ASSERT_TRUE(pc_.WriteByte(0xE00D, 0));
  EXPECT_EQ(pc_.ReadByte(0xB080), 0);
}

TEST_F(SwcMapTest, AbsentCartridgeReadsAsTheBankNumber) {
  ASSERT_TRUE(pc_.WriteByte(0xE00C, 0));
  for (std::uint8_t bank : {0x80, 0x84, 0xFF}) {
    ASSERT_TRUE(pc_.SelectBankPage(bank, 2));
    EXPECT_EQ(pc_.Read(0xA0A0, 4), std::vector<std::uint8_t>(4, bank));
  }
  ASSERT_TRUE(pc_.SelectBankPage(0x40, 0));
  EXPECT_EQ(pc_.ReadByte(0x20A0), 0x40);
}

class SwcWithoutSignatureTest : public SwcMapTest {
 protected:
  static Options NoSignature() {
    Options options;
    options.realTimeSignature = false;
    return options;
  }
  SwcWithoutSignatureTest() : SwcMapTest(NoSignature()) {}
};

TEST_F(SwcWithoutSignatureTest, NoSignatureAndTheAreaGoesToTheTopDramBanks) {
  EXPECT_FALSE(HasSignature(pc_));
  const auto area = Pattern(262144, 5);
  const std::uint8_t base = 0x36;
  for (std::uint32_t j = 0; j < 32; ++j) {
    ASSERT_TRUE(pc_.SelectBankPage(static_cast<std::uint8_t>(base + j / 4), j % 4));
    ASSERT_TRUE(pc_.WriteByte(0xC010, 1));
    ASSERT_TRUE(pc_.Write(0x8000, Slice(area, j * 8192, 8192)));
  }
  for (std::uint32_t j = 0; j < 32; ++j) {
    EXPECT_EQ(copier_.DramPage(512 + base * 4 + j), Slice(area, j * 8192, 8192)) << "page " << j;
  }
  EXPECT_EQ(copier_.RealTimeArea(), std::vector<std::uint8_t>(262144, 0));
  // A download reads the same pages back.
  ASSERT_TRUE(pc_.SelectBankPage(base + 7, 3));
  ASSERT_TRUE(pc_.WriteByte(0xC010, 1));
  EXPECT_EQ(pc_.Read(0x8000, 8192), Slice(area, 31 * 8192, 8192));
}

TEST_F(SwcWithoutSignatureTest, BankWithoutMemoryKeepsNoWrittenByte) {
  copier_.SetBankWritable(0x76, false);
  ASSERT_TRUE(pc_.SelectBankPage(0x76, 0));
  ASSERT_TRUE(pc_.WriteByte(0x8000, 0xFF));
  EXPECT_EQ(pc_.ReadByte(0x8000), 0);
  ASSERT_TRUE(pc_.SelectBankPage(0x36, 0));
  ASSERT_TRUE(pc_.WriteByte(0x8000, 0xFF));
  EXPECT_EQ(pc_.ReadByte(0x8000), 0xFF);
  copier_.SetBankWritable(0x76, true);
  ASSERT_TRUE(pc_.SelectBankPage(0x76, 0));
  ASSERT_TRUE(pc_.WriteByte(0x8000, 0xFF));
  EXPECT_EQ(pc_.ReadByte(0x8000), 0xFF);
}

}  // namespace
}  // namespace ql::emu::testing
