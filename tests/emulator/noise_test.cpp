// A flaky copier on purpose: a noisy line, a dirty cartridge contact, and the
// seed that makes them repeat. What the link makes of them (reads again,
// verified dumps) and the bad DRAM bit are tested with the transfers.
#include <bit>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

Options Noisy(std::uint32_t linePpm, std::uint32_t cartridgePpm, std::uint64_t seed = 1) {
  Options options;
  options.noisePpm = linePpm;
  options.cartridgeNoisePpm = cartridgePpm;
  options.seed = seed;
  return options;
}

// Whether every byte of `expected` came with exactly one bit inverted.
bool OneBitOffEach(const Bytes& got, const Bytes& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (std::popcount(unsigned(got[i] ^ expected[i])) != 1) return false;
  return true;
}

const Bytes kRom = Pattern(0x8000, 5);

// Bank 0, quarter 1 of kRom as the PC receives it, the check byte last.
Bytes Dump(const Options& options) {
  Rig rig(options);
  rig.copier.SetCartridge(kRom, false);
  std::uint8_t check = 0;
  EXPECT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(1));
  Bytes got = rig.pc.Read(0xA000, 8192, &check).value_or(Bytes(8192));
  got.push_back(check);
  return got;
}

// The line spoils one bit of every byte sent, check byte included, and never
// what the copier holds; the dirty contact spoils the bytes before the copier
// computes its check byte over them, and never a DRAM read.
TEST(Noise, LineNoiseSpoilsWhatIsSentAndCartridgeNoiseWhatIsRead) {
  Bytes expected = Slice(kRom, 0x2000, 8192);
  expected.push_back(Check(expected));
  EXPECT_TRUE(OneBitOffEach(Dump(Noisy(1'000'000, 0)), expected));
  const Bytes dirty = Dump(Noisy(0, 1'000'000));
  EXPECT_TRUE(OneBitOffEach(dirty, Slice(expected, 0, 8192)));
  EXPECT_EQ(dirty.back(), Check(Slice(dirty, 0, 8192)));
  Rig rig(Noisy(1'000'000, 1'000'000));
  ASSERT_TRUE(rig.pc.Write(0x8000, {1, 2, 3}));
  EXPECT_TRUE(OneBitOffEach(rig.pc.Read(0x8000, 3).value_or(Bytes(3)), {1, 2, 3}));
  EXPECT_EQ(Slice(rig.copier.DramPage(0), 0, 3), (Bytes{1, 2, 3}));
}

// The same seed gives the same errors; another seed others. Each kind of
// noise keeps its own errors whatever the other does: a line that draws for
// every byte (at a rate that spoils none of them here) moves none.
TEST(Noise, SeedRepeatsEachKindOnItsOwn) {
  EXPECT_EQ(Dump(Noisy(50'000, 0, 7)), Dump(Noisy(50'000, 0, 7)));
  EXPECT_NE(Dump(Noisy(50'000, 0, 7)), Dump(Noisy(50'000, 0, 8)));
  EXPECT_EQ(Dump(Noisy(0, 50'000, 7)), Dump(Noisy(1, 50'000, 7)));
  EXPECT_NE(Dump(Noisy(0, 50'000, 7)), Dump(Noisy(0, 50'000, 8)));
}

}  // namespace
}  // namespace ql::emu::testing
