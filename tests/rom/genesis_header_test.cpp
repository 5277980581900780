#include "rom/genesis_header.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/rom/rom_builders.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::GenesisFields;

std::optional<GenesisHeaderMatch> Find(const Bytes& image) {
  MemoryImageReader reader(image);
  return FindGenesisHeader(reader);
}

GenesisHeaderBlock Header(const GenesisFields& fields) {
  const Bytes rom = testing::MakeGenesisRom(0x200, fields);
  GenesisHeaderBlock header;
  std::copy_n(rom.begin() + 0x100, 256, header.begin());
  return header;
}

TEST(FindGenesisHeader, PlainAndSmdLayouts) {
  const Bytes plain = testing::MakeGenesisRom(0x8000);
  auto match = Find(plain);
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->smdLayout);
  EXPECT_TRUE(std::equal(match->header.begin(), match->header.end(), plain.begin() + 0x100));

  match = Find(testing::ToSmdFile(plain));
  ASSERT_TRUE(match);
  EXPECT_TRUE(match->smdLayout);
  EXPECT_TRUE(std::equal(match->header.begin(), match->header.end(), plain.begin() + 0x100));
}

TEST(FindGenesisHeader, SignatureIsFourExactCapitals) {
  GenesisFields f;
  f.signature = "SEGA GENESIS";
  EXPECT_TRUE(Find(testing::MakeGenesisRom(0x400, f)));
  for (const char* signature : {"sega", "SEG ", "ASEG"}) {
    f.signature = signature;
    EXPECT_FALSE(Find(testing::MakeGenesisRom(0x4000, f))) << signature;
    EXPECT_FALSE(Find(testing::ToSmdFile(testing::MakeGenesisRom(0x4000, f)))) << signature;
  }
}

TEST(FindGenesisHeader, PlainTestComesFirst) {
  // A plain image whose bytes at 0x280 and 0x2280 also merge into "SEGA".
  Bytes plain = testing::MakeGenesisRom(0x4000);
  plain[0x2280] = 'S';
  plain[0x280] = 'E';
  plain[0x2281] = 'G';
  plain[0x281] = 'A';
  const auto match = Find(plain);
  ASSERT_TRUE(match);
  EXPECT_FALSE(match->smdLayout);
}

TEST(FindGenesisHeader, ShortFiles) {
  EXPECT_FALSE(Find(Bytes(0x1FF, 0)));
  const Bytes plain = testing::MakeGenesisRom(0x200);
  ASSERT_EQ(plain.size(), 0x200u);
  EXPECT_TRUE(Find(plain));
  // SMD needs the even half up to 0x2300.
  Bytes smd = testing::ToSmdFile(testing::MakeGenesisRom(0x4000));
  smd.resize(0x2300);
  EXPECT_TRUE(Find(smd));
  smd.resize(0x22FF);
  EXPECT_FALSE(Find(smd));
}

TEST(DescribeGenesisHeader, PublisherKeys) {
  GenesisFields f;
  const std::pair<const char*, const char*> cases[] = {
      {"(C)SEGA 1991", "SEGA"},
      {"(C)T-81 1992", "Acclaim or Flying Edge"},
      {"(C)T-100 1993", "T*HQ Software"},
      {"(C)T-81.1992", "unknown"},
      {"(C)RSI 1990", "Razorsoft"},
      {"(C)T-56 1990", "Razorsoft"},
      {"(C)T-239 1996", "Disney Interactive"},
      {"(C)T-10 1990", "Takara"},
      {"(C)ACLD 1990", "Ballistic"},
      {"(C)acld 1990", "unknown"},
      {"(C)T-1001990", "T*HQ Software"},  // the byte after three digits is not looked at
      {"(C)WSTN", "Westone"},
      {"(C)XXXX 1990", "unknown"},
  };
  for (auto [field, maker] : cases) {
    f.makerField = field;
    EXPECT_EQ(DescribeGenesisHeader(Header(f), 0).Maker, maker) << field;
  }
}

TEST(DescribeGenesisHeader, RomSizes) {
  GenesisFields f;
  f.romStart = 0;
  f.romEnd = 0x7FFFF;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 524288).RomSize, "4Mb");
  f.romEnd = 0xFFFFF;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 524288).RomSize, "8Mb (4Mb)");
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 524289).RomSize, "8Mb (5Mb)");
  // The declared size is end minus start, without the last byte: 0x80000 is still 4 Mbit, one more rounds up.
  f.romEnd = 0x80000;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 0x80001).RomSize, "4Mb (5Mb)");
  f.romEnd = 0x80001;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 0x80001).RomSize, "5Mb");
  // End below start wraps in 32 bits: (0 - 0x100 + 0x1FFFF) >> 17.
  f.romStart = 0x100;
  f.romEnd = 0;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 0).RomSize, "0Mb");
  f.romStart = 0x200000;
  EXPECT_EQ(DescribeGenesisHeader(Header(f), 0).RomSize, "32752Mb (0Mb)");
}

TEST(DescribeGenesisHeader, Regions) {
  GenesisFields f;
  const std::pair<const char*, const char*> cases[] = {
      {"JUE", "Japan, USA, Europe"},
      {"J  ", "Japan"},
      {"JXU", "Japan, USA"},
      {"   ", ""},
      {"JJ ", "Japan, Japan"},
      {"4AB", "Brazil, Asia, Brazil"},
      {"8F ", "Hong Kong, France"},
      {"jue", ""},
      {" U ", "USA"},
  };
  for (auto [code, text] : cases) {
    f.region = code;
    EXPECT_EQ(DescribeGenesisHeader(Header(f), 0).Region, text) << code;
  }
}

TEST(DescribeGenesisHeader, NameAndUnusedTexts) {
  GenesisFields f;
  f.title = std::string(48, 'N');
  GenesisHeaderBlock header = Header(f);
  header[0x50] = 'Z';  // first byte after the 48-byte title
  HeaderTexts texts = DescribeGenesisHeader(header, 0);
  EXPECT_EQ(texts.Name, std::string(48, 'N'));
  EXPECT_TRUE(texts.Makeup.empty());
  EXPECT_TRUE(texts.SramSize.empty());
  EXPECT_TRUE(texts.Version.empty());
  header[0x20 + 7] = 0;
  EXPECT_EQ(DescribeGenesisHeader(header, 0).Name, "NNNNNNN");
}

TEST(GenesisTables, KeysAreFourBytesAndDistinct) {
  const auto& rows = GenesisPublisherTable();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      EXPECT_NE(std::memcmp(rows[i].key, rows[j].key, 4), 0) << rows[i].name << " / " << rows[j].name;
    }
  }
  EXPECT_EQ(std::string(rows[2].key, 4), "RSI ");
  int twoDigit = 0;
  int threeDigit = 0;
  for (const auto& row : rows) {
    const std::string key(row.key, 4);
    if (key[0] >= '0' && key[0] <= '9') (key[2] == ' ' ? twoDigit : threeDigit)++;
  }
  EXPECT_EQ(twoDigit, 42);
  EXPECT_EQ(threeDigit, 13);
  EXPECT_EQ(GenesisRegionTable().size(), 8u);
}

}  // namespace
}  // namespace ql
