#include "rom/ips_patch.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/state.h"
#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::Cut;
using testing::Slice;

// Record bytes as a patch file carries them (big-endian fields).
Bytes Record(std::uint32_t offset, const Bytes& data) {
  return Cat({{std::uint8_t(offset >> 16), std::uint8_t(offset >> 8), std::uint8_t(offset),
               std::uint8_t(data.size() >> 8), std::uint8_t(data.size())},
              data});
}

Bytes RunRecord(std::uint32_t offset, std::uint16_t length, std::uint8_t fill) {
  return Cat({Record(offset, {}), {std::uint8_t(length >> 8), std::uint8_t(length), fill}});
}

const Bytes kMagic = {'P', 'A', 'T', 'C', 'H'};
const Bytes kEof = {'E', 'O', 'F'};

TEST(IpsRecords, WalkTable) {
  constexpr std::uint32_t kDataSize = 64;
  using Changes = std::vector<std::pair<std::size_t, std::uint8_t>>;
  // What, records, bytes changed, result.
  const std::tuple<const char*, Bytes, Changes, IpsResult> cases[] = {
      {"0x1FF: in the copier header, skipped", Record(0x1FF, {0xB0, 0xB1, 0xB2}), {}, IpsResult::Applied},
      {"run cut by the data end", RunRecord(0x200 + 63, 100, 0x77), {{63, 0x77}}, IpsResult::Applied},
      {"run of 0 bytes", Cat({RunRecord(0x200, 0, 0x55), Record(0x201, {0x66})}), {{1, 0x66}}, IpsResult::Applied},
      {"run outside", Cat({RunRecord(0x100, 0xFFFF, 0x99), Record(0x203, {0xE3})}), {{3, 0xE3}}, IpsResult::Applied},
      {"cut by the patch end", Cut(Record(0x200, {0xC0, 0xC1}), 1), {{0, 0xC0}}, IpsResult::RecordPastEnd},
      {"run cut by the patch end", Cut(RunRecord(0x210, 4, 0xDD), 1), {}, IpsResult::RunPastEnd},
      {"too few for a header", Cat({Record(0x200, {0xF0}), {0, 2, 0, 0}}), {{0, 0xF0}}, IpsResult::StrayBytes},
  };
  for (const auto& [what, records, changed, result] : cases) {
    SCOPED_TRACE(what);
    Bytes rom(kDataSize + 16, 0xEE);  // the last 16 bytes lie past the data
    for (std::uint32_t i = 0; i < kDataSize; ++i) rom[i] = static_cast<std::uint8_t>(i);
    Bytes expected = rom;
    for (auto [at, value] : changed) expected[at] = value;
    EXPECT_EQ(ApplyIpsRecords(records.data(), records.size(), rom.data(), kDataSize), result);
    EXPECT_EQ(rom, expected);
  }
}

// A whole patch file as the patch command reads it.
TEST(IpsPatchLayout, EndMarkerAndTheTruncationSizeAfterIt) {
  const Bytes one = Record(0x200, {0x42});
  // What, file, result, records size when applied, truncation size.
  const std::tuple<const char*, Bytes, IpsResult, std::size_t, std::optional<std::uint32_t>> cases[] = {
      {"plain", Cat({kMagic, one, kEof}), IpsResult::Applied, one.size(), {}},
      {"no records", Cat({kMagic, kEof}), IpsResult::Applied, 0, {}},
      {"truncation size after EOF", Cat({kMagic, one, kEof, {1, 2, 3}}), IpsResult::Applied, one.size(), 0x010203},
      {"a truncation size that reads \"EOF\"", Cat({kMagic, one, kEof, kEof}), IpsResult::Applied, one.size(),
       0x454F46},
      {"four bytes after EOF", Cat({kMagic, one, kEof, {0, 1, 2, 3}}), IpsResult::NoEndMarker, 0, {}},
      {"shorter than the magic", {'P', 'A', 'T'}, IpsResult::NoPatchMagic, 0, {}},
      {"magic and no end", kMagic, IpsResult::NoEndMarker, 0, {}},
      {"run past EOF", Cat({kMagic, Record(0x200, {}), {0, 1}, kEof}), IpsResult::RunPastEnd, 0, {}},
  };
  for (const auto& [what, file, result, records, truncateTo] : cases) {
    SCOPED_TRACE(what);
    IpsPatch patch;
    ASSERT_EQ(ReadIpsPatch(file, patch), result);
    if (result != IpsResult::Applied) continue;
    EXPECT_EQ(patch.records.data(), file.data() + 5);
    EXPECT_EQ(patch.records.size(), records);
    EXPECT_EQ(patch.truncateTo, truncateTo);
  }
}

// Two blocks and a bit: the third block is padded, as the upload and the patch command pad it.
TEST(IpsPatchLayout, InterleavedImagesArePatchedInPlainOrder) {
  constexpr std::uint32_t kDataSize = 2 * testing::kBlock + 100;
  Bytes plain = Cat({testing::Pattern(kDataSize, 5), Bytes(testing::kBlock - 100)});
  Bytes image = testing::Interleaved(plain);
  PatchInPlainOrder(image.data(), kDataSize, true, [&](std::uint8_t* data, std::uint32_t size) {
    EXPECT_EQ(Bytes(data, data + size), Slice(plain, 0, kDataSize));
    std::fill_n(data + testing::kBlock - 2, 5, 0xAB);
  });
  std::fill_n(plain.begin() + testing::kBlock - 2, 5, 0xAB);
  EXPECT_EQ(image, testing::Interleaved(plain));
}

// The upload reads the patch file as it is now and takes its last three bytes for the end marker, unread.
TEST(IpsPatchFile, RecordsAllocatedAsTheFileIsNowAndNotWalkedWithoutMemory) {
  testing::ScratchDir dir;
  const Bytes file = Cat({kMagic, Record(0x200, {1, 2, 3, 4}), kEof});
  Bytes rom(32, 0);
  std::size_t asked = 0;
  const auto noMemory = [&](std::size_t size) {
    asked = size;
    return std::unique_ptr<std::uint8_t[]>();
  };
  // Below 8 bytes there are no records: nothing is allocated.
  ApplyIpsPatchFile(dir.Write("p.ips", Slice(file, 0, 7)), rom.data(), 32, noMemory);
  EXPECT_EQ(asked, 0u);
  ApplyIpsPatchFile(dir.Write("p.ips", file), rom.data(), 32, noMemory);
  EXPECT_EQ(asked, 9u);
  EXPECT_EQ(rom, Bytes(32, 0));
  // Without an end marker the record loses its last three bytes.
  PatchPath = dir.Write("p.ips", Cut(file, 3));
  ApplyIpsPatch(rom.data(), 32);
  ResetSharedState();
  EXPECT_EQ(rom, Cat({{1}, Bytes(31, 0)}));
}

}  // namespace
}  // namespace ql
