// The SWC mode byte: SRAM size bits, the HiROM map and the size limits.
#include <gtest/gtest.h>

#include "transfer/rom_upload.h"

namespace ql {
namespace {

TEST(SwcModeByte, LoRomWithoutSramMarksSizeUpToOneMegabyte) {
  EXPECT_EQ(SwcModeByteFor(0, 1, false), 0x2D);
  EXPECT_EQ(SwcModeByteFor(0, 128, false), 0x2D);
  EXPECT_EQ(SwcModeByteFor(0, 129, false), 0x2C);
  EXPECT_EQ(SwcModeByteFor(0, 768, false), 0x2C);
}

TEST(SwcModeByte, LoRomSramBitsFollowTheSizeCode) {
  EXPECT_EQ(SwcModeByteFor(1, 128, false), 0x09);
  EXPECT_EQ(SwcModeByteFor(1, 129, false), 0x08);
  EXPECT_EQ(SwcModeByteFor(2, 128, false), 0x05);
  EXPECT_EQ(SwcModeByteFor(3, 129, false), 0x04);
  EXPECT_EQ(SwcModeByteFor(4, 128, false), 0x01);
  EXPECT_EQ(SwcModeByteFor(5, 129, false), 0x00);
  EXPECT_EQ(SwcModeByteFor(255, 129, false), 0x00);
}

TEST(SwcModeByte, HiRomWithoutSramSwitchesAtFourMegabytes) {
  EXPECT_EQ(SwcModeByteFor(0, 511, true), 0x1C);
  EXPECT_EQ(SwcModeByteFor(0, 512, true), 0x3C);
  EXPECT_EQ(SwcModeByteFor(0, 1, true), 0x1C);
}

TEST(SwcModeByte, HiRomWithSramIgnoresTheSize) {
  for (std::uint32_t blocks : {1u, 128u, 511u, 512u, 768u}) {
    EXPECT_EQ(SwcModeByteFor(1, blocks, true), 0x38) << blocks;
    EXPECT_EQ(SwcModeByteFor(2, blocks, true), 0x34) << blocks;
    EXPECT_EQ(SwcModeByteFor(3, blocks, true), 0x34) << blocks;
    EXPECT_EQ(SwcModeByteFor(5, blocks, true), 0x30) << blocks;
  }
}

}  // namespace
}  // namespace ql
