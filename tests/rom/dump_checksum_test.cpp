// Internal checksums of dumps and the console each file is taken for. Expected sums are built another way: images
// small enough to lay out as a cartridge decodes them, byte sums of powers of two, Genesis words as two halves.
#include <gtest/gtest.h>

#include <numeric>

#include "rom/dump_analysis.h"
#include "rom/snes_header.h"
#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Pattern;

// Beyond the largest power of two the rest is repeated until it fills that power of two; the same rule holds inside.
TEST(SnesDumpChecksum, SmallImagesShowEveryMirroringShape) {
  const std::pair<Bytes, std::uint16_t> cases[] = {
      {{}, 0},
      {{1, 2, 3}, 9},                              // 1 2 3 3
      {{1, 1, 1, 1, 10}, 44},                      // 1 1 1 1 10 10 10 10
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 118},  // 1..8, then 9 10 11 11 twice
  };
  for (const auto& [image, sum] : cases) EXPECT_EQ(SnesImageChecksum(image), sum) << image.size();
}

// A HiROM image of random bytes behind a copier header, its checksum right: the pair is summed as 0xFFFF
// and 0x0000, which any checksum and its complement also sum to. LoROM files without one are in the check suite.
TEST(SnesDumpChecksum, AgreesWithTheHeaderWithoutTheCopierHeaderAndCatchesOneChangedByte) {
  Bytes rom = Pattern(0x20000, 1);
  testing::PutSnesHeader(rom, 0xFFC0);
  std::uint8_t* pair = rom.data() + 0xFFC0 + SnesField::ChecksumComplement;
  std::copy_n("\xFF\xFF\0\0", 4, pair);
  const auto sum = static_cast<std::uint16_t>(std::accumulate(rom.begin(), rom.end(), 0u));
  const std::uint8_t fields[] = {std::uint8_t(~sum), std::uint8_t(~sum >> 8), std::uint8_t(sum),
                                 std::uint8_t(sum >> 8)};
  std::copy_n(fields, 4, pair);  // complement, then checksum, each little-endian
  Bytes file = testing::Cat({testing::CopierHeader(4), rom});
  const DumpAnalysis good = AnalyseDump(file, "game.sfc", kDeviceSmd);
  EXPECT_TRUE(good.checksum.value().Agrees());
  EXPECT_TRUE(good.hiRom);
  EXPECT_TRUE(good.hasCopierHeader);
  EXPECT_EQ(good.plainData, rom);
  file.back() ^= 0x01;
  EXPECT_FALSE(AnalyseDump(file, "game.sfc", kDeviceSwc).checksum.value().Agrees());
}

// Genesis word sums as the high bytes times 256 plus the low bytes.
std::uint16_t HalvesSum(const Bytes& plain) {
  std::uint32_t high = 0;
  std::uint32_t low = 0;
  for (std::size_t i = 0x200; i < plain.size(); ++i) ((i % 2 == 0) ? high : low) += plain[i];
  return static_cast<std::uint16_t>(high * 256 + low);
}

Bytes GenesisDump(std::size_t size) {
  Bytes rom = Pattern(size, 7);
  rom.back() |= 0x80;  // an odd last byte left out of the sum must show
  const auto header = testing::GenesisHeader();
  std::copy(header.begin(), header.end(), rom.begin() + 0x100);
  const std::uint16_t sum = HalvesSum(rom);
  rom[0x18E] = static_cast<std::uint8_t>(sum >> 8);
  rom[0x18F] = static_cast<std::uint8_t>(sum);
  return rom;
}

TEST(GenesisDumpChecksum, AnOddLastByteCountsAsHighByteAndSmdFilesAreUndoneAndPadded) {
  const Bytes rom = GenesisDump(0x40001);
  for (const bool smd : {false, true}) {
    SCOPED_TRACE(smd);
    const DumpAnalysis a = AnalyseDump(smd ? testing::ToSmd(rom) : rom, smd ? "game.smd" : "game.bin", kDeviceSwc);
    ASSERT_TRUE(a.checksum.has_value());
    EXPECT_EQ(a.hasCopierHeader, smd);
    EXPECT_TRUE(a.checksum->Agrees());
    // An SMD file holds whole 16 KB blocks; its plain data is the image padded to them.
    EXPECT_EQ(a.plainData, smd ? testing::Cat({rom, testing::Fill(0x44000 - rom.size())}) : rom);
  }
  // An SMD file cut inside its last block: the missing bytes count as zeros.
  const Bytes even = GenesisDump(0x40000);
  const DumpAnalysis cut = AnalyseDump(testing::Cut(testing::ToSmd(even), 0x100), "cut.smd", kDeviceSmd);
  EXPECT_EQ(cut.plainData.size(), even.size() - 0x100);
  EXPECT_FALSE(cut.checksum.value().Agrees());
}

TEST(DumpDevice, ChosenFromTheFileBeforeTheFallback) {
  // Copier header type 4 with "SEGA" where a plain Genesis image has it, and the Super NES block behind it.
  Bytes typed = testing::Cat({testing::CopierHeader(4), testing::SnesImage(0x8000, false, false)});
  std::copy_n("SEGA", 4, typed.begin() + 0x100);
  // A plain Genesis image with a valid Super NES block at 0x7FC0 passes both searches.
  Bytes both = GenesisDump(0x10000);
  testing::PutSnesHeader(both, 0x7FC0);
  // File, path, fallback device, device chosen, what settled it.
  const std::tuple<Bytes, const char*, std::uint8_t, std::uint8_t, DumpDeviceEvidence> rows[] = {
      {typed, "x.bin", kDeviceSmd, kDeviceSwc, DumpDeviceEvidence::CopierHeader},
      {both, "x.SFC", kDeviceSmd, kDeviceSwc, DumpDeviceEvidence::Extension},
      {both, "x.bin", kDeviceSwc, kDeviceSmd, DumpDeviceEvidence::Extension},
      {both, "x.rom", kDeviceSmd, kDeviceSmd, DumpDeviceEvidence::Fallback},
      {both, "x", kDeviceSwc, kDeviceSwc, DumpDeviceEvidence::Fallback},
  };
  for (const auto& [file, path, fallback, device, evidence] : rows) {
    SCOPED_TRACE(path);
    const DumpAnalysis a = AnalyseDump(file, path, fallback);
    EXPECT_EQ(a.device, device);
    EXPECT_EQ(a.evidence, evidence);
  }
}

}  // namespace
}  // namespace ql
