#include "rom/ips_patch.h"

#include <gtest/gtest.h>

#include "core/state.h"
#include "tests/rom/rom_builders.h"

namespace ql {
namespace {

using testing::Bytes;

// Record bytes as a patch file carries them (big-endian fields).
Bytes Record(std::uint32_t offset, const Bytes& data) {
  Bytes r = {static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8),
             static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(data.size() >> 8),
             static_cast<std::uint8_t>(data.size())};
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

Bytes RunRecord(std::uint32_t offset, std::uint16_t length, std::uint8_t fill) {
  return {static_cast<std::uint8_t>(offset >> 16),
          static_cast<std::uint8_t>(offset >> 8),
          static_cast<std::uint8_t>(offset),
          0,
          0,
          static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length),
          fill};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes PatchFile(const Bytes& records, bool endMarker = true) {
  Bytes file = {'P', 'A', 'T', 'C', 'H'};
  file.insert(file.end(), records.begin(), records.end());
  if (endMarker) file.insert(file.end(), {'E', 'O', 'F'});
  return file;
}

// The ROM data plus a guard area that no record may touch.
class IpsRecordsTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kDataSize = 64;
  static constexpr std::uint8_t kGuard = 0xEE;

  void SetUp() override {
    rom.assign(kDataSize + 16, kGuard);
    for (std::uint32_t i = 0; i < kDataSize; ++i) rom[i] = static_cast<std::uint8_t>(i);
    original = rom;
  }
  void Apply(const Bytes& records) { ApplyIpsRecords(records.data(), records.size(), rom.data(), kDataSize); }
  bool GuardIntact() const {
    return std::all_of(rom.begin() + kDataSize, rom.end(), [](std::uint8_t b) { return b == kGuard; });
  }

  Bytes rom;
  Bytes original;
};

TEST_F(IpsRecordsTest, OffsetsCountFromACopierHeader) {
  Apply(Record(0x200, {0xA0, 0xA1, 0xA2, 0xA3}));
  EXPECT_EQ(Bytes(rom.begin(), rom.begin() + 5), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 4}));
  SetUp();
  // 0x1FF lies in the copier header: skipped whole, even the byte that would reach ROM byte 0.
  Apply(Record(0x1FF, {0xB0, 0xB1, 0xB2}));
  EXPECT_EQ(rom, original);
  Apply(Record(0x000, {0xB0}));
  Apply(Record(0xFFFFFF, {0xB0}));
  EXPECT_EQ(rom, original);
}

TEST_F(IpsRecordsTest, WritesAreCutAtTheEndOfTheRom) {
  Apply(Record(0x200 + kDataSize - 2, {1, 2, 3, 4}));
  EXPECT_EQ(rom[kDataSize - 2], 1);
  EXPECT_EQ(rom[kDataSize - 1], 2);
  EXPECT_TRUE(GuardIntact());
  Apply(Join({Record(0x200 + kDataSize, {9}), RunRecord(0x200 + kDataSize - 1, 100, 0x77)}));
  EXPECT_EQ(rom[kDataSize - 1], 0x77);
  EXPECT_EQ(rom[kDataSize - 2], 1);
  EXPECT_TRUE(GuardIntact());
}

TEST_F(IpsRecordsTest, RunRecords) {
  Apply(RunRecord(0x210, 16, 0xFF));
  for (std::uint32_t i = 0; i < kDataSize; ++i) EXPECT_EQ(rom[i], (i >= 16 && i < 32) ? 0xFF : i) << i;
  SetUp();
  // A zero-length run changes nothing, and the walk goes on after it.
  Apply(Join({RunRecord(0x200, 0, 0x55), Record(0x201, {0x66})}));
  EXPECT_EQ(rom[0], 0);
  EXPECT_EQ(rom[1], 0x66);
}

TEST_F(IpsRecordsTest, LaterRecordsOverwriteEarlierOnes) {
  Apply(Join({Record(0x204, {0x11, 0x12}), RunRecord(0x205, 3, 0x22), Record(0x206, {0x33})}));
  EXPECT_EQ(rom[4], 0x11);
  EXPECT_EQ(rom[5], 0x22);
  EXPECT_EQ(rom[6], 0x33);
  EXPECT_EQ(rom[7], 0x22);
  EXPECT_EQ(rom[8], 8);
}

TEST_F(IpsRecordsTest, RecordCutByPatchEndWritesWhatIsThere) {
  Bytes records = Record(0x200, {0xC0, 0xC1, 0xC2, 0xC3});
  records.resize(records.size() - 2);
  Apply(records);
  EXPECT_EQ(rom[0], 0xC0);
  EXPECT_EQ(rom[1], 0xC1);
  EXPECT_EQ(rom[2], 2);
}

TEST_F(IpsRecordsTest, RunCutByPatchEndEndsTheWalk) {
  Bytes records = Join({Record(0x200, {0xD0}), RunRecord(0x210, 4, 0xDD)});
  records.pop_back();  // the fill byte is missing
  Apply(records);
  EXPECT_EQ(rom[0], 0xD0);
  EXPECT_EQ(Bytes(rom.begin() + 16, rom.begin() + 20), Bytes(original.begin() + 16, original.begin() + 20));
}

TEST_F(IpsRecordsTest, RunOutsideTheRomIsPassedOverWithoutReadingItsLength) {
  // Target below the copier header: eight bytes skipped whatever they hold.
  Apply(Join({RunRecord(0x100, 0xFFFF, 0x99), Record(0x203, {0xE3})}));
  EXPECT_EQ(rom[3], 0xE3);
  EXPECT_EQ(rom[0], 0);
  // The same run at the very end of the patch, cut off: nothing happens and nothing is read past the end.
  Bytes cut = RunRecord(0x100, 1, 1);
  cut.resize(6);
  Apply(cut);
  EXPECT_TRUE(GuardIntact());
}

TEST_F(IpsRecordsTest, EmptyOrHeaderlessRecordBytes) {
  Apply(Bytes());
  Apply(Bytes{0x00, 0x02, 0x00, 0x00});  // shorter than a record header
  // A record header that ends exactly at the end of the data: processed, nothing to copy.
  Apply(Bytes{0x00, 0x02, 0x00, 0x00, 0x05});
  EXPECT_EQ(rom, original);
  // With no ROM data nothing is written at all.
  const Bytes records = Join({Record(0x200, {1}), RunRecord(0x200, 4, 2)});
  ApplyIpsRecords(records.data(), records.size(), rom.data(), 0);
  EXPECT_EQ(rom, original);
}

class IpsPatchFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSharedState();
    rom.assign(32, 0);
  }
  void TearDown() override { ResetSharedState(); }

  Bytes rom;
  testing::ScratchDir dir;
};

TEST_F(IpsPatchFileTest, AppliesThePatchSlot) {
  PatchPath = dir.Write("fix.ips", PatchFile(Join({Record(0x200, {1, 2}), RunRecord(0x210, 4, 9)})));
  ApplyIpsPatch(rom.data(), 20);
  EXPECT_EQ(rom[0], 1);
  EXPECT_EQ(rom[1], 2);
  EXPECT_EQ(Bytes(rom.begin() + 16, rom.begin() + 21), (Bytes{9, 9, 9, 9, 0}));
}

TEST_F(IpsPatchFileTest, SmallestPatch) {
  const Bytes file = PatchFile(Record(0x200, {0x42}));
  ASSERT_EQ(file.size(), 14u);
  PatchPath = dir.Write("min.ips", file);
  ApplyIpsPatch(rom.data(), 32);
  EXPECT_EQ(rom[0], 0x42);
}

TEST_F(IpsPatchFileTest, LastThreeBytesAreNeverRead) {
  // Without an end marker the record loses its last three bytes.
  PatchPath = dir.Write("noeof.ips", PatchFile(Record(0x200, {1, 2, 3, 4}), false));
  ApplyIpsPatch(rom.data(), 32);
  EXPECT_EQ(Bytes(rom.begin(), rom.begin() + 4), (Bytes{1, 0, 0, 0}));
}

TEST_F(IpsPatchFileTest, MissingOrShrunkFilesChangeNothing) {
  PatchPath = dir.PathOf("gone.ips");
  ApplyIpsPatch(rom.data(), 32);
  for (std::size_t size : {0u, 5u, 7u, 8u}) {
    Bytes content = PatchFile(Bytes{0x00, 0x02, 0x00, 0x00, 0x01, 0x77});
    content.resize(size);
    PatchPath = dir.Write("small.ips", content);
    ApplyIpsPatch(rom.data(), 32);
  }
  EXPECT_EQ(rom, Bytes(32, 0));
}

TEST_F(IpsPatchFileTest, NoMemoryMeansNoWalk) {
  const std::string path = dir.Write("fix.ips", PatchFile(Record(0x200, {1, 2, 3})));
  std::size_t asked = 0;
  ApplyIpsPatchFile(path, rom.data(), 32, [&](std::size_t size) {
    asked = size;
    return std::unique_ptr<std::uint8_t[]>();
  });
  EXPECT_EQ(asked, 8u);  // everything between "PATCH" and the end marker, as the file is now
  EXPECT_EQ(rom, Bytes(32, 0));
}

}  // namespace
}  // namespace ql
