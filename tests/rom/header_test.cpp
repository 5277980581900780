// The Super NES and Genesis internal headers: where they are found, and the
// texts the window and the cartridge report make of them.
#include <gtest/gtest.h>

#include "rom/cartridge_info.h"
#include "rom/genesis_header.h"
#include "rom/snes_header.h"
#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using Text = std::string HeaderTexts::*;

// The valid block of PutSnesHeader with one byte changed.
SnesHeaderBlock Block(std::size_t at, std::uint8_t value) {
  Bytes bytes;
  testing::PutSnesHeader(bytes, 0);
  bytes[at] = value;
  SnesHeaderBlock block;
  std::copy_n(bytes.begin(), block.size(), block.begin());
  return block;
}

TEST(SnesHeaderSearch, CandidatesInOrderAndFileSizeEdges) {
  // What, valid blocks placed (the last is the one found), file size, found, HiROM, copier header. Earlier wins.
  const std::tuple<const char*, std::vector<std::size_t>, std::size_t, bool, bool, bool> cases[] = {
      {"LoROM in 32,768 bytes", {0x7FC0}, 0x8000, true, false, false},
      {"HiROM after a copier header", {0x101C0}, 0x10200, true, true, true},
      {"0x81C0 before 0xFFC0", {0xFFC0, 0x81C0}, 0x10000, true, false, true},
      {"0xFFC0 before 0x101C0", {0x101C0, 0xFFC0}, 0x10200, true, true, false},
  };
  for (const auto& [what, blocks, size, found, hiRom, copier] : cases) {
    SCOPED_TRACE(what);
    Bytes image;
    for (std::size_t at : blocks) testing::PutSnesHeader(image, at);
    image.resize(size);
    MemoryImageReader reader(image);
    const auto match = FindSnesHeader(reader);
    ASSERT_EQ(match.has_value(), found);
    if (!match) continue;
    EXPECT_EQ(match->hiRom, hiRom);
    EXPECT_EQ(match->hasCopierHeader, copier);
    EXPECT_TRUE(std::equal(match->block.begin(), match->block.end(), image.begin() + blocks.back()));
  }
}

TEST(SnesHeaderSearch, ValidityRule) {
  // Checksum, complement, ROM size code, SRAM size code, valid.
  const std::tuple<std::uint16_t, std::uint16_t, std::uint8_t, std::uint8_t, bool> cases[] = {
      {0x1234, 0xEDCB, 8, 0, true},  {0x0000, 0xFFFF, 13, 5, true}, {0x0000, 0x0000, 8, 0, false},
      {0x1234, 0xEDCC, 8, 0, false}, {0x1234, 0xEDCB, 7, 0, false}, {0x1234, 0xEDCB, 14, 0, false},
      {0x1234, 0xEDCB, 8, 6, false},
  };
  for (const auto& [checksum, complement, romCode, sramCode, valid] : cases) {
    SCOPED_TRACE(::testing::Message() << checksum << " " << complement << " " << +romCode << " " << +sramCode);
    SnesHeaderBlock block = Block(SnesField::RomSizeCode, romCode);
    block[SnesField::SramSizeCode] = sramCode;
    for (int i = 0; i < 4; ++i)
      block[0x1C + i] = static_cast<std::uint8_t>((i < 2 ? complement : checksum) >> (i % 2 * 8));
    EXPECT_EQ(IsValidSnesHeader(block), valid);
  }
}

// Each row: the window's text for a file of dataSize bytes, and the report's line for a cartridge of `banks` banks.
TEST(SnesHeaderTexts, WindowAndCartridgeReportAtTheEdges) {
  // Byte offset and value, HiROM, file size, banks, the text, its label and what it must read.
  const std::tuple<std::size_t, std::uint8_t, bool, std::uint32_t, std::uint8_t, Text, const char*, const char*>
      cases[] = {
          {0x17, 10, false, 1048577, 36, &HeaderTexts::RomSize, "ROM size", "8Mb (9Mb)"},
          {0x17, 11, false, 1048576, 32, &HeaderTexts::RomSize, "ROM size", "16Mb (8Mb)"},
          {0x17, 10, true, 2097152, 32, &HeaderTexts::RomSize, "ROM size", "8Mb (16Mb)"},
          {0x15, 0x0F, true, 0, 8, &HeaderTexts::Makeup, "Makeup", "Slow HiROM"},
          {0x18, 3, false, 0, 8, &HeaderTexts::SramSize, "SRAM size", "64kb"},
          {0x19, 0x21, false, 0, 8, &HeaderTexts::Region, "Region", "USA"},
          {0x04, 0, false, 0, 8, &HeaderTexts::Name, "Name", "TEST"},
          {0x15, 'X', false, 0, 8, &HeaderTexts::Name, "Name", "TEST GAME            "},  // 21 bytes at most
      };
  for (const auto& [at, value, hiRom, dataSize, banks, text, label, expected] : cases) {
    SCOPED_TRACE(std::string(label) + " " + expected);
    const SnesHeaderBlock block = Block(at, value);
    EXPECT_EQ(DescribeSnesHeader(block, hiRom, dataSize).*text, expected);
    const std::string line = std::string(label) + ":  " + expected + "\n";
    EXPECT_NE(FormatCartridgeReport(block, banks, hiRom).find(line), std::string::npos);
  }
}

TEST(GenesisHeaderTexts, RegionsPublishersSizesName) {
  // Bytes written at a header offset, file size, the text and what it must read.
  const std::tuple<std::size_t, std::string, std::uint32_t, Text, std::string> cases[] = {
      {0xF0, "JXU", 0, &HeaderTexts::Region, "Japan, USA"},
      {0xF0, "   ", 0, &HeaderTexts::Region, ""},
      {0x10, "(C)SEGA", 0, &HeaderTexts::Maker, "SEGA"},
      {0x10, "(C)T-100", 0, &HeaderTexts::Maker, "T*HQ Software"},
      {0xA5, std::string("\x08\0\0", 3), 0x80001, &HeaderTexts::RomSize, "4Mb (5Mb)"},  // the end byte is not counted
      {0xA0, std::string("\0\x20\0\0\0\0\0\0", 8), 0, &HeaderTexts::RomSize, "32752Mb (0Mb)"},  // end below start wraps
      {0x20, std::string(48, 'N') + "Z", 0, &HeaderTexts::Name, std::string(48, 'N')},
  };
  for (const auto& [at, bytes, dataSize, text, expected] : cases) {
    SCOPED_TRACE(expected);
    GenesisHeaderBlock header = testing::GenesisHeader();
    std::copy(bytes.begin(), bytes.end(), header.begin() + at);
    EXPECT_EQ(DescribeGenesisHeader(header, dataSize).*text, expected);
  }
}

TEST(CartridgeReport, WholeReports) {
  SnesHeaderBlock header = Block(0x17, 10);
  EXPECT_EQ(FormatCartridgeReport(header, 32, false),
            "Name:  TEST GAME            \nMakeup:  Fast LoROM\nROM size:  8Mb\nSRAM size:  none\n"
            "Region:  USA\nMaker:  Nintendo\nVersion:  1.0\n");
  header.fill(0xFF);
  EXPECT_EQ(FormatCartridgeReport(header, 32, false),
            "Name:  " + std::string(21, '\xFF') +
                "\nMakeup:  Fast LoROM\nROM size:  0Mb (8Mb)\nSRAM size:  0kb\n"
                "Region:  Unknown\nMaker:  Hudson Soft\nVersion:  1.255\n");
}

}  // namespace
}  // namespace ql
