#include "rom/snes_header.h"

#include <gtest/gtest.h>

#include "tests/rom/rom_builders.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::SnesFields;

std::optional<SnesHeaderMatch> Find(const Bytes& image) {
  MemoryImageReader reader(image);
  return FindSnesHeader(reader);
}

SnesHeaderBlock Block(const SnesFields& fields) {
  Bytes bytes;
  testing::PutSnesHeader(bytes, 0, fields);
  SnesHeaderBlock block;
  std::copy_n(bytes.begin(), 64, block.begin());
  return block;
}

TEST(FindSnesHeader, EachCandidateGivesItsMapAndCopierFlag) {
  struct Case {
    bool hiRom;
    bool copier;
  };
  for (const Case c : {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
    const auto match = Find(testing::MakeSnesImage(0x20000, c.hiRom, c.copier));
    ASSERT_TRUE(match.has_value()) << c.hiRom << c.copier;
    EXPECT_EQ(match->hiRom, c.hiRom);
    EXPECT_EQ(match->hasCopierHeader, c.copier);
    EXPECT_EQ(match->block[0], 'T');
  }
}

TEST(FindSnesHeader, SizeEdges) {
  // Exactly 32 KB holds the first candidate; one byte less does not.
  Bytes lo = testing::MakeSnesImage(0x8000, false, false);
  ASSERT_EQ(lo.size(), 0x8000u);
  EXPECT_TRUE(Find(lo).has_value());
  lo.pop_back();
  EXPECT_FALSE(Find(lo).has_value());
  // A short read ends the search even though a later candidate would not be read anyway.
  Bytes hi = testing::MakeSnesImage(0x10000, true, true);
  hi.resize(0x101C0 + 63);
  EXPECT_FALSE(Find(hi).has_value());
  EXPECT_FALSE(Find(Bytes()).has_value());
}

TEST(FindSnesHeader, FirstValidCandidateWins) {
  // Valid at 0x7FC0 and at 0xFFC0: LoROM without copier header.
  Bytes image = testing::MakeSnesImage(0x10000, true, false);
  testing::PutSnesHeader(image, 0x7FC0, SnesFields{});
  auto match = Find(image);
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->hiRom);
  EXPECT_FALSE(match->hasCopierHeader);
  // A copier-header file whose bytes at 0x7FC0 happen to form a block: taken as headerless.
  Bytes copier = testing::MakeSnesImage(0x8000, false, true);
  testing::PutSnesHeader(copier, 0x7FC0, SnesFields{});
  match = Find(copier);
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->hasCopierHeader);
}

TEST(FindSnesHeader, InvalidBlocksAreSkipped) {
  Bytes image = testing::MakeSnesImage(0x20000, true, true);
  SnesFields bad;
  bad.romSizeCode = 14;
  testing::PutSnesHeader(image, 0x7FC0, bad);
  const auto match = Find(image);
  ASSERT_TRUE(match);
  EXPECT_TRUE(match->hiRom);
  EXPECT_TRUE(match->hasCopierHeader);
}

TEST(SnesHeaderValidity, ChecksumPairAndCodeRanges) {
  SnesFields f;
  EXPECT_TRUE(IsValidSnesHeader(Block(f)));
  for (auto [sum, complement] : {std::pair{0x0000, 0x0000}, {0xFFFF, 0xFFFF}, {0x1234, 0xEDCC}}) {
    f.checksum = static_cast<std::uint16_t>(sum);
    f.complement = static_cast<std::uint16_t>(complement);
    EXPECT_FALSE(IsValidSnesHeader(Block(f))) << sum << " " << complement;
  }
  f = SnesFields{};
  f.checksum = 0x0000;
  f.complement = 0xFFFF;
  EXPECT_TRUE(IsValidSnesHeader(Block(f)));
  f = SnesFields{};
  for (int code : {8, 13}) {
    f.romSizeCode = static_cast<std::uint8_t>(code);
    EXPECT_TRUE(IsValidSnesHeader(Block(f))) << code;
  }
  for (int code : {7, 14, 0, 255}) {
    f.romSizeCode = static_cast<std::uint8_t>(code);
    EXPECT_FALSE(IsValidSnesHeader(Block(f))) << code;
  }
  f = SnesFields{};
  f.sramSizeCode = 5;
  EXPECT_TRUE(IsValidSnesHeader(Block(f)));
  f.sramSizeCode = 6;
  EXPECT_FALSE(IsValidSnesHeader(Block(f)));
}

TEST(DescribeSnesHeader, RomSizeAgainstFileSize) {
  SnesFields f;
  f.romSizeCode = 10;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 1048576).RomSize, "8Mb");
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 1048577).RomSize, "8Mb (9Mb)");
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 786432).RomSize, "8Mb (6Mb)");
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 1).RomSize, "8Mb (1Mb)");
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).RomSize, "8Mb (0Mb)");
  f.romSizeCode = 8;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 262144).RomSize, "2Mb");
  f.romSizeCode = 13;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 6291456).RomSize, "64Mb (48Mb)");
}

TEST(DescribeSnesHeader, MakeupWords) {
  SnesFields f;
  f.makeup = 0x30;
  EXPECT_EQ(DescribeSnesHeader(Block(f), true, 0).Makeup, "Fast HiROM");
  f.makeup = 0x20;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Makeup, "Fast LoROM");
  f.makeup = 0x10;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Makeup, "Fast LoROM");
  f.makeup = 0x01;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Makeup, "Slow LoROM");
  f.makeup = 0x0F;
  EXPECT_EQ(DescribeSnesHeader(Block(f), true, 0).Makeup, "Slow HiROM");
}

TEST(DescribeSnesHeader, SramRegionMakerVersion) {
  SnesFields f;
  const std::pair<int, const char*> srams[] = {{0, "none"}, {1, "16kb"}, {3, "64kb"}, {5, "256kb"}};
  for (auto [code, text] : srams) {
    f.sramSizeCode = static_cast<std::uint8_t>(code);
    EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).SramSize, text);
  }
  const std::pair<int, const char*> regions[] = {{0x21, "USA"},   {0x0E, "Unknown"}, {0x0F, "Unknown"},
                                                 {0x00, "Japan"}, {0x03, "Sweeden"}, {0xFD, "Korea"}};
  for (auto [code, text] : regions) {
    f.regionCode = static_cast<std::uint8_t>(code);
    EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Region, text) << code;
  }
  const std::pair<int, const char*> makers[] = {
      {0x33, "Nintendo"}, {0x02, "(2)"},         {0x00, "N/A"},    {0x0D, "(13)"},
      {0xFE, "(254)"},    {0xFF, "Hudson Soft"}, {0x8F, "I''Max"}, {0xB1, "ASCII Co. Activison"}};
  for (auto [code, text] : makers) {
    f.makerCode = static_cast<std::uint8_t>(code);
    EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Maker, text) << code;
  }
  f.version = 10;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Version, "1.10");
  f.version = 255;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Version, "1.255");
  f.version = 0;
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Version, "1.0");
}

TEST(DescribeSnesHeader, NameStopsAtNulOrTwentyOneBytes) {
  SnesFields f;
  f.title = "ABCDEFGHIJKLMNOPQRSTU";
  SnesHeaderBlock block = Block(f);
  block[0x15] = 'X';  // the makeup byte right after the title is not part of it
  EXPECT_EQ(DescribeSnesHeader(block, false, 0).Name, "ABCDEFGHIJKLMNOPQRSTU");
  block[5] = 0;
  EXPECT_EQ(DescribeSnesHeader(block, false, 0).Name, "ABCDE");
  block[0] = 0;
  EXPECT_EQ(DescribeSnesHeader(block, false, 0).Name, "");
  f.title = "PADDED";
  EXPECT_EQ(DescribeSnesHeader(Block(f), false, 0).Name, "PADDED               ");
}

TEST(SnesTables, ExactEntries) {
  const auto& regions = SnesRegionNames();
  EXPECT_STREQ(regions[3], "Sweeden");
  EXPECT_STREQ(regions[11], "Hong Kong");
  EXPECT_STREQ(regions[14], "Unknown");
  const auto& makers = SnesMakerNames();
  int named = 0;
  for (int code = 0; code < 256; ++code) {
    ASSERT_NE(makers[code], nullptr) << code;
    if (makers[code] != "(" + std::to_string(code) + ")") ++named;
  }
  EXPECT_EQ(named, 155);
  // Names that occur twice, under different codes.
  EXPECT_STREQ(makers[0x01], "Nintendo");
  EXPECT_STREQ(makers[0x13], "Electronic Arts");
  EXPECT_STREQ(makers[0x69], "Electronic Arts");
  EXPECT_STREQ(makers[0x28], "Kemco");
  EXPECT_STREQ(makers[0x7F], "Kemco");
  EXPECT_STREQ(makers[0xC2], "Kemco");
  EXPECT_STREQ(makers[0x29], "Seta Co.,Ltd.");
  EXPECT_STREQ(makers[0x92], "Video System Co., Ltd.");
  EXPECT_STREQ(makers[0xE4], "T&ESoft");
  EXPECT_STREQ(makers[0xF9], "Cybersoft");
  EXPECT_STREQ(makers[0xFA], "(250)");
}

}  // namespace
}  // namespace ql
