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
  struct Case {
    const char* what;
    Bytes records;
    std::vector<std::pair<std::size_t, std::uint8_t>> changed;
    IpsResult result = IpsResult::Applied;
  };
  const Case cases[] = {
      {"offset 0x200 is the first ROM byte", Record(0x200, {0xA0, 0xA1}), {{0, 0xA0}, {1, 0xA1}}},
      {"0x1FF lies in the copier header: skipped whole", Record(0x1FF, {0xB0, 0xB1, 0xB2}), {}},
      {"cut at the end of the data", Record(0x200 + 62, {1, 2, 3, 4}), {{62, 1}, {63, 2}}},
      {"record past the end of the data", Record(0x200 + 70, {9}), {}},
      {"run cut at the end of the data", RunRecord(0x200 + 63, 100, 0x77), {{63, 0x77}}},
      {"run", RunRecord(0x210, 3, 0xFF), {{16, 0xFF}, {17, 0xFF}, {18, 0xFF}}},
      {"run length 0 changes nothing, the walk goes on",
       Cat({RunRecord(0x200, 0, 0x55), Record(0x201, {0x66})}),
       {{1, 0x66}}},
      {"later record wins",
       Cat({Record(0x204, {0x11, 0x12}), RunRecord(0x205, 3, 0x22), Record(0x206, {0x33})}),
       {{4, 0x11}, {5, 0x22}, {6, 0x33}, {7, 0x22}}},
      {"record cut by the patch end",
       Cut(Record(0x200, {0xC0, 0xC1, 0xC2, 0xC3}), 2),
       {{0, 0xC0}, {1, 0xC1}},
       IpsResult::RecordPastEnd},
      {"run cut by the patch end ends the walk",
       Cut(Cat({Record(0x200, {0xD0}), RunRecord(0x210, 4, 0xDD)}), 1),
       {{0, 0xD0}},
       IpsResult::RunPastEnd},
      {"cut run outside the ROM ends it too", Cut(RunRecord(0x100, 4, 0xDD), 1), {}, IpsResult::RunPastEnd},
      {"bytes too few for a record header",
       Cat({Record(0x200, {0xF0}), {0, 2, 0, 0}}),
       {{0, 0xF0}},
       IpsResult::StrayBytes},
      {"run outside the ROM passed over", Cat({RunRecord(0x100, 0xFFFF, 0x99), Record(0x203, {0xE3})}), {{3, 0xE3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes rom(kDataSize + 16, 0xEE);  // the last 16 bytes lie past the data
    for (std::uint32_t i = 0; i < kDataSize; ++i) rom[i] = static_cast<std::uint8_t>(i);
    Bytes expected = rom;
    for (auto [at, value] : c.changed) expected[at] = value;
    EXPECT_EQ(ApplyIpsRecords(c.records.data(), c.records.size(), rom.data(), kDataSize), c.result);
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
      {"no end marker", Cat({kMagic, one}), IpsResult::NoEndMarker, 0, {}},
      {"two bytes after EOF", Cat({kMagic, one, kEof, {0, 1}}), IpsResult::NoEndMarker, 0, {}},
      {"four bytes after EOF", Cat({kMagic, one, kEof, {0, 1, 2, 3}}), IpsResult::NoEndMarker, 0, {}},
      {"not PATCH", Cat({{'P', 'A', 'T', 'C', 'X'}, one, kEof}), IpsResult::NoPatchMagic, 0, {}},
      {"shorter than the magic", {'P', 'A', 'T'}, IpsResult::NoPatchMagic, 0, {}},
      {"magic and no end", kMagic, IpsResult::NoEndMarker, 0, {}},
      {"record data past EOF",
       Cat({kMagic, Cut(Record(0x200, {1, 2, 3, 4}), 2), kEof}),
       IpsResult::RecordPastEnd,
       0,
       {}},
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

TEST(IpsPatchLayout, InterleavedImagesArePatchedInPlainOrder) {
  // Two blocks and a bit: the third block is padded, as the upload and the patch command pad it.
  constexpr std::uint32_t kDataSize = 2 * testing::kBlock + 100;
  const Bytes plain = Cat({testing::Pattern(kDataSize, 5), Bytes(testing::kBlock - 100)});
  const auto patchAcrossABlock = [&](std::uint8_t* data, std::uint32_t size) {
    ASSERT_EQ(size, kDataSize);
    std::fill_n(data + testing::kBlock - 2, 5, 0xAB);
  };
  Bytes expected = plain;
  patchAcrossABlock(expected.data(), kDataSize);
  for (bool interleaved : {false, true}) {
    SCOPED_TRACE(interleaved);
    Bytes image = interleaved ? testing::Interleaved(plain) : plain;
    PatchInPlainOrder(image.data(), kDataSize, interleaved, patchAcrossABlock);
    EXPECT_EQ(image, interleaved ? testing::Interleaved(expected) : expected);
  }
}

class IpsPatchFile : public ::testing::Test {
 protected:
  void SetUp() override { ResetSharedState(); }
  void TearDown() override { ResetSharedState(); }
  static Bytes File(const Bytes& records) { return Cat({kMagic, records, kEof}); }

  Bytes rom = Bytes(32, 0);
  testing::ScratchDir dir;
};

TEST_F(IpsPatchFile, SmallestPatchAndTheUnreadEndMarker) {
  // 14 bytes: the smallest patch. Without an end marker the record loses its last three bytes.
  const std::pair<Bytes, Bytes> cases[] = {{File(Record(0x200, {0x42})), {0x42}},
                                           {Cut(File(Record(0x200, {1, 2, 3, 4})), 3), {1}}};
  for (const auto& [file, changed] : cases) {
    PatchPath = dir.Write("p.ips", file);
    rom.assign(32, 0);
    ApplyIpsPatch(rom.data(), 32);
    EXPECT_EQ(rom, Cat({changed, Bytes(31, 0)}));
  }
}

TEST_F(IpsPatchFile, RecordsAllocatedAsTheFileIsNowAndNotWalkedWithoutMemory) {
  const Bytes file = File(Record(0x200, {0x77}));
  // Below 8 bytes (or at 8) there are no records: nothing is allocated or walked.
  const std::pair<std::size_t, std::size_t> cases[] = {{0, 0}, {5, 0}, {7, 0}, {8, 0}, {14, 6}};
  for (auto [fileSize, expected] : cases) {
    SCOPED_TRACE(fileSize);
    std::size_t asked = 0;
    ApplyIpsPatchFile(dir.Write("p.ips", Bytes(file.begin(), file.begin() + fileSize)), rom.data(), 32,
                      [&](std::size_t size) {
                        asked = size;
                        return std::unique_ptr<std::uint8_t[]>();
                      });
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(rom, Bytes(32, 0));
  }
}

}  // namespace
}  // namespace ql
