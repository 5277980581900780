// Internal checksums of Super NES and Genesis dumps and the console each
// file is taken for. Expected sums are built here another way: the
// cartridge's address decoding laid out byte by byte, and Genesis words
// summed as high and low halves.
#include <gtest/gtest.h>

#include <numeric>

#include "rom/dump_analysis.h"
#include "rom/snes_header.h"
#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Pattern;

constexpr std::size_t kMbit = 131072;

// Where a cartridge of `size` bytes answers address `address`: the highest
// address bit that lies beyond the chip is dropped, and the chip is split
// there when it is larger than that bit, until the address falls inside.
std::size_t MirroredOffset(std::size_t address, std::size_t size) {
  std::size_t base = 0;
  std::size_t mask = std::size_t{1} << 30;
  while (address >= size) {
    while (!(address & mask)) mask >>= 1;
    address -= mask;
    if (size > mask) {
      size -= mask;
      base += mask;
    }
    mask >>= 1;
  }
  return base + address;
}

// The 16-bit sum of the whole address space the image fills on a cartridge.
// Every split lies on a multiple of the size's lowest set bit, so runs of
// that length map to runs.
std::uint16_t DecodedSum(const Bytes& image) {
  std::size_t space = 1;
  while (space < image.size()) space <<= 1;
  const std::size_t run = image.size() & (~image.size() + 1);
  std::uint32_t sum = 0;
  for (std::size_t a = 0; a < space; a += run) {
    const auto from = image.begin() + static_cast<std::ptrdiff_t>(MirroredOffset(a, image.size()));
    sum = std::accumulate(from, from + static_cast<std::ptrdiff_t>(run), sum);
  }
  return static_cast<std::uint16_t>(sum);
}

// A Super NES image with a valid header whose checksum is right: the pair is
// summed as 0xFFFF and 0x0000, which any checksum and its complement also sum to.
Bytes SnesDump(std::size_t size, bool hiRom) {
  Bytes rom = Pattern(size, static_cast<std::uint32_t>(size) + hiRom);
  testing::PutSnesHeader(rom, hiRom ? 0xFFC0 : 0x7FC0);
  // Complement, then checksum, each little-endian.
  std::uint8_t* pair = rom.data() + (hiRom ? 0xFFC0 : 0x7FC0) + SnesField::ChecksumComplement;
  std::copy_n("\xFF\xFF\0\0", 4, pair);
  const std::uint16_t sum = DecodedSum(rom);
  const std::uint8_t fields[] = {std::uint8_t(~sum), std::uint8_t(~sum >> 8), std::uint8_t(sum),
                                 std::uint8_t(sum >> 8)};
  std::copy_n(fields, 4, pair);
  return rom;
}

// Size, HiROM, copier header.
class SnesDumpChecksum : public ::testing::TestWithParam<std::tuple<std::size_t, bool, bool>> {};

TEST_P(SnesDumpChecksum, AgreesWithTheHeaderAndCatchesOneChangedByte) {
  const auto [size, hiRom, copierHeader] = GetParam();
  Bytes rom = SnesDump(size, hiRom);
  Bytes file = copierHeader ? testing::Cat({testing::CopierHeader(4), rom}) : rom;
  const DumpAnalysis good = AnalyseDump(file, "game.sfc", kDeviceSmd);
  ASSERT_TRUE(good.checksum.has_value());
  EXPECT_EQ(good.hiRom, hiRom);
  EXPECT_EQ(good.hasCopierHeader, copierHeader);
  EXPECT_EQ(good.plainData, rom);
  EXPECT_EQ(good.checksum->computed, DecodedSum(rom));
  EXPECT_TRUE(good.checksum->Agrees());

  // The last byte lies in the mirrored part of an odd-sized image, so it counts more than once.
  rom.back() ^= 0x01;
  file.back() ^= 0x01;
  const DumpAnalysis bad = AnalyseDump(file, "game.sfc", kDeviceSwc);
  ASSERT_TRUE(bad.checksum.has_value());
  EXPECT_EQ(bad.checksum->computed, DecodedSum(rom));
  EXPECT_FALSE(bad.checksum->Agrees());
}

// A power of two; one part beyond it (8 + 2, repeated four times); two (8 + 2 + 1); the largest image a
// copier takes; ragged bytes that fill no whole Mbit.
INSTANTIATE_TEST_SUITE_P(Sizes, SnesDumpChecksum,
                         ::testing::Values(std::tuple{1 * kMbit, false, false}, std::tuple{10 * kMbit, true, false},
                                           std::tuple{11 * kMbit, false, false}, std::tuple{48 * kMbit, true, true},
                                           std::tuple{std::size_t{0x10000 + 0x6000 + 0x123}, false, true}),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "_HiROM" : "_LoROM") +
                                  (std::get<2>(info.param) ? "_CopierHeader" : "");
                         });

TEST(SnesDumpChecksum, SmallImagesFollowTheSameRule) {
  EXPECT_EQ(SnesImageChecksum(Bytes{1, 2, 3}), 9);  // decoded as 1 2 3 3
  EXPECT_EQ(SnesImageChecksum({}), 0);
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
  const auto header = testing::GenesisHeader();
  std::copy(header.begin(), header.end(), rom.begin() + 0x100);
  const std::uint16_t sum = HalvesSum(rom);
  rom[0x18E] = static_cast<std::uint8_t>(sum >> 8);
  rom[0x18F] = static_cast<std::uint8_t>(sum);
  return rom;
}

TEST(GenesisDumpChecksum, PlainAndSmdFilesOfOneImageAgree) {
  for (const std::size_t size : {std::size_t{0x200}, std::size_t{0x40001}}) {
    const Bytes rom = GenesisDump(size);
    // An SMD file holds whole 16 KB blocks; its plain data is the image padded to them.
    const Bytes padded = testing::Cat({rom, testing::Fill(testing::Interleaved(rom).size() - size)});
    for (const bool smd : {false, true}) {
      SCOPED_TRACE(::testing::Message() << size << (smd ? " SMD" : " plain"));
      const DumpAnalysis a = AnalyseDump(smd ? testing::ToSmd(rom) : rom, smd ? "game.smd" : "game.bin", kDeviceSwc);
      ASSERT_EQ(a.kind, FileKind::Rom);
      EXPECT_EQ(a.device, kDeviceSmd);
      EXPECT_EQ(a.hasCopierHeader, smd);
      ASSERT_TRUE(a.checksum.has_value());
      EXPECT_TRUE(a.checksum->Agrees());
      EXPECT_EQ(a.checksum->computed, HalvesSum(rom));
      EXPECT_EQ(a.plainData, smd ? padded : rom);
    }
  }
}

TEST(GenesisDumpChecksum, OddLastByteCountsAsHighByteAndACutSmdFileDisagrees) {
  Bytes rom = GenesisDump(0x201);
  rom[0x200] = 0x12;
  EXPECT_EQ(GenesisImageChecksum(rom), 0x1200);
  // An SMD file cut inside its last block: the missing bytes count as zeros.
  rom = GenesisDump(0x40000);
  const DumpAnalysis cut = AnalyseDump(testing::Cut(testing::ToSmd(rom), 0x100), "cut.smd", kDeviceSmd);
  ASSERT_TRUE(cut.checksum.has_value());
  EXPECT_EQ(cut.plainData.size(), rom.size() - 0x100);
  EXPECT_FALSE(cut.checksum->Agrees());
}

// A plain Genesis image with a valid Super NES block at 0x7FC0 passes both searches.
Bytes BothHeaders() {
  Bytes rom = GenesisDump(0x10000);
  testing::PutSnesHeader(rom, 0x7FC0);
  return rom;
}

TEST(DumpDevice, ChosenFromTheFileBeforeTheFallback) {
  // Copier header type 4 with "SEGA" where a plain Genesis image has it, and the Super NES block behind it.
  Bytes typed = testing::CopierHeader(4);
  std::copy_n("SEGA", 4, typed.begin() + 0x100);
  typed = testing::Cat({typed, testing::SnesImage(0x8000, false, false)});
  // File, path, fallback device, device chosen, what settled it.
  const std::tuple<Bytes, const char*, std::uint8_t, std::uint8_t, DumpDeviceEvidence> rows[] = {
      {testing::SnesImage(0x8000, false, false), "x.rom", kDeviceSmd, kDeviceSwc, DumpDeviceEvidence::Header},
      {GenesisDump(0x400), "x.sfc", kDeviceSwc, kDeviceSmd, DumpDeviceEvidence::Header},
      {typed, "x.bin", kDeviceSmd, kDeviceSwc, DumpDeviceEvidence::CopierHeader},
      {BothHeaders(), "x.SFC", kDeviceSmd, kDeviceSwc, DumpDeviceEvidence::Extension},
      {BothHeaders(), "x.bin", kDeviceSwc, kDeviceSmd, DumpDeviceEvidence::Extension},
      {BothHeaders(), "x.rom", kDeviceSmd, kDeviceSmd, DumpDeviceEvidence::Fallback},
  };
  for (const auto& [file, path, fallback, device, evidence] : rows) {
    SCOPED_TRACE(path);
    const DumpAnalysis a = AnalyseDump(file, path, fallback);
    EXPECT_EQ(a.kind, FileKind::Rom);
    EXPECT_EQ(a.device, device);
    EXPECT_EQ(a.evidence, evidence);
    EXPECT_TRUE(a.checksum.has_value());
  }
}

TEST(DumpDevice, FilesThatAreNoRomImageKeepTheirKindAndHaveNoChecksum) {
  const std::tuple<Bytes, const char*, FileKind> rows[] = {
      {Bytes(8192, 0), "save.srm", FileKind::Sram},
      {testing::PatchBytes(20), "fix.ips", FileKind::Patch},
      {Bytes(), "empty.sfc", FileKind::None},
  };
  for (const auto& [file, path, kind] : rows) {
    SCOPED_TRACE(path);
    const DumpAnalysis a = AnalyseDump(file, path, kDeviceSwc);
    EXPECT_EQ(a.kind, kind);
    EXPECT_EQ(a.evidence, DumpDeviceEvidence::None);
    EXPECT_FALSE(a.checksum.has_value());
    EXPECT_EQ(a.plainData, file);
  }
}

}  // namespace
}  // namespace ql
