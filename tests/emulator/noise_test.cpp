// A flaky copier on purpose: a noisy line, a dirty cartridge contact and a
// bad DRAM bit, and the seed that makes them repeat.
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

// Bytes that differ from `expected` by how many bits: 0 where they agree.
std::vector<int> BitsWrong(const Bytes& got, const Bytes& expected) {
  std::vector<int> wrong;
  for (std::size_t i = 0; i < got.size(); ++i) wrong.push_back(std::popcount(unsigned(got[i] ^ expected[i])));
  return wrong;
}

Bytes WithCheck(Bytes data, std::uint8_t check) {
  data.push_back(check);
  return data;
}

// What was written is kept as sent; only what the copier sends back is spoilt.
TEST(LineNoise, FlipsOneBitPerByteSentAtItsRateCheckBytesIncluded) {
  const Bytes block = Pattern(4096, 3);
  const struct {
    std::uint32_t ppm;
    int minWrong, maxWrong;  // bytes of the 4097 sent (data and check byte)
  } cases[] = {{0, 0, 0}, {1'000'000, 4097, 4097}, {10'000, 20, 70}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ppm);
    Rig rig(Noisy(c.ppm, 0));
    ASSERT_TRUE(rig.pc.Write(0x8000, block));
    std::uint8_t check = 0;
    const auto got = rig.pc.Read(0x8000, 4096, &check);
    ASSERT_TRUE(got);
    const std::vector<int> wrong = BitsWrong(WithCheck(*got, check), WithCheck(block, Check(block)));
    const auto spoilt = std::count_if(wrong.begin(), wrong.end(), [](int bits) { return bits != 0; });
    EXPECT_GE(spoilt, c.minWrong);
    EXPECT_LE(spoilt, c.maxWrong);
    EXPECT_EQ(*std::max_element(wrong.begin(), wrong.end()), c.ppm == 0 ? 0 : 1) << "one bit, never more";
    EXPECT_EQ(Slice(rig.copier.DramPage(0), 0, 4096), block) << "the copier holds what was written";
  }
}

TEST(CartridgeNoise, CheckByteCoversTheWrongBytesSoOnlyASecondReadRevealsThem) {
  const Bytes rom = Pattern(0x8000, 5);
  for (const std::uint32_t ppm : {0u, 1'000'000u}) {
    SCOPED_TRACE(ppm);
    Rig rig(Noisy(0, ppm));
    rig.copier.SetCartridge(rom, false);
    ASSERT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(0, 0));
    std::uint8_t firstCheck = 0, secondCheck = 0;
    const auto first = rig.pc.Read(0xA000, 8192, &firstCheck);
    const auto second = rig.pc.Read(0xA000, 8192, &secondCheck);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(firstCheck, Check(*first)) << "the copier checks what it read";
    EXPECT_EQ(secondCheck, Check(*second));
    const std::vector<int> wrong = BitsWrong(*first, Slice(rom, 0, 8192));
    EXPECT_EQ(std::count(wrong.begin(), wrong.end(), ppm == 0 ? 0 : 1), 8192);
    EXPECT_EQ(*first == *second, ppm == 0);
    ASSERT_TRUE(rig.pc.Write(0xE00D, {0}) && rig.pc.Page(0) && rig.pc.Write(0x8000, {1, 2, 3}));
    EXPECT_EQ(rig.pc.Read(0x8000, 3), (Bytes{1, 2, 3})) << "DRAM reads are clean";
  }
}

// The same seed gives the same errors; another seed others. Each kind of
// noise keeps its own errors whatever the other does.
TEST(Noise, SeedRepeatsEachKindOnItsOwn) {
  const Bytes rom = Pattern(0x8000, 6);
  const auto dump = [&](std::uint32_t linePpm, std::uint32_t cartridgePpm, std::uint64_t seed) {
    Rig rig(Noisy(linePpm, cartridgePpm, seed));
    rig.copier.SetCartridge(rom, false);
    EXPECT_TRUE(rig.pc.Write(0xE00C, {0}) && rig.pc.Page(0, 1));
    return rig.pc.Read(0xA000, 8192).value_or(Bytes{});
  };
  EXPECT_EQ(dump(50'000, 0, 7), dump(50'000, 0, 7));
  EXPECT_NE(dump(50'000, 0, 7), dump(50'000, 0, 8));
  EXPECT_EQ(dump(0, 50'000, 7), dump(0, 50'000, 7));
  EXPECT_NE(dump(0, 50'000, 7), dump(0, 50'000, 8));
  // Line noise on top of cartridge noise spoils more, but the cartridge's errors stay where they were.
  const std::vector<int> cartridgeOnly = BitsWrong(dump(0, 50'000, 7), Slice(rom, 0x2000, 8192));
  const std::vector<int> both = BitsWrong(dump(50'000, 50'000, 7), Slice(rom, 0x2000, 8192));
  std::ptrdiff_t kept = 0;
  for (std::size_t i = 0; i < both.size(); ++i) kept += cartridgeOnly[i] != 0 && both[i] != 0;
  const std::ptrdiff_t spoilt = std::count(cartridgeOnly.begin(), cartridgeOnly.end(), 1);
  EXPECT_GT(spoilt, 250);
  EXPECT_GT(kept * 10, spoilt * 8) << "nearly all of the cartridge's errors are still there";
}

TEST(Noise, CombinesWithAFault) {
  Options options = Noisy(1'000'000, 0);
  options.fault = Fault::Stall;
  options.stallAfterBytes = 9 + 4 + 1 + 9 + 1;  // a 4-byte write, a read packet and one byte of its answer
  Rig rig(options);
  PcSide pc{rig.copier, 0x378, 1000};
  ASSERT_TRUE(pc.Write(0x1000, {0x10, 0x20, 0x30, 0x40}) && pc.Command(1, 0x1000, 2));
  const auto first = pc.Receive();
  ASSERT_TRUE(first);
  EXPECT_EQ(std::popcount(unsigned(*first ^ 0x10)), 1);
  EXPECT_FALSE(pc.Receive()) << "then it stalls";
}

// dramfault=OFFSET:BIT, OFFSET counted as dram.bin counts: page by page.
TEST(DramFault, TheByteAtItsOffsetKeepsOneBitInverted) {
  const struct {
    Device device;
    std::uint32_t offset;
    std::uint8_t bit;
    std::uint16_t page;
    std::uint32_t inPage;
  } cases[] = {{Device::Swc, 0x2005, 3, 1, 5}, {Device::Smd, 0x7FFF, 7, 1, 0x3FFF}, {Device::Swc, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    Options options = Make(c.device);
    options.dramFault = Options::DramFault{c.offset, c.bit};
    Rig rig(options);
    const std::uint32_t pageSize = c.device == Device::Swc ? 8192 : 16384;
    const Bytes page = Pattern(pageSize, c.page);
    ASSERT_TRUE(c.device == Device::Swc || rig.pc.Write(0x2001, {0}));  // the SMD's DRAM window
    for (std::uint16_t p : {std::uint16_t(c.page ^ 1), c.page}) {
      ASSERT_TRUE(rig.pc.Page(p));
      for (std::uint32_t at = 0; at < pageSize; at += 0x2000)  // in pieces, so that one of them holds the bad byte
        ASSERT_TRUE(rig.pc.Write(std::uint16_t(0x8000 + at), Slice(page, at, 0x2000)));
    }
    Bytes expected = page;
    expected[c.inPage] ^= std::uint8_t(1u << c.bit);
    EXPECT_EQ(rig.pc.Read(0x8000, std::uint16_t(pageSize)), expected);
    EXPECT_EQ(rig.copier.DramPage(c.page), expected);
    EXPECT_EQ(rig.copier.DramPage(c.page ^ 1u), page) << "other pages keep what was written";
  }
}

}  // namespace
}  // namespace ql::emu::testing
