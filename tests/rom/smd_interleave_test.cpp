#include "rom/smd_interleave.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;

Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

// From the layout: in each block, SMD byte k is plain byte 2k+1 and SMD byte 8192+k is plain byte 2k.
Bytes ReferenceSmd(const Bytes& plain) {
  Bytes smd(plain.size());
  for (std::size_t base = 0; base < plain.size(); base += kSmdBlockSize) {
    for (std::size_t k = 0; k < kSmdBlockSize / 2; ++k) {
      smd[base + k] = plain[base + 2 * k + 1];
      smd[base + kSmdBlockSize / 2 + k] = plain[base + 2 * k];
    }
  }
  return smd;
}

TEST(SmdInterleave, FollowsTheLayoutAndRoundTrips) {
  for (std::size_t blocks : {1u, 2u, 5u}) {
    SCOPED_TRACE(blocks);
    const Bytes plain = Random(blocks * kSmdBlockSize, static_cast<unsigned>(blocks));
    Bytes work = plain;
    PlainToSmd(work.data(), blocks);
    EXPECT_EQ(work, ReferenceSmd(plain));
    SmdToPlain(work.data(), blocks);
    EXPECT_EQ(work, plain);
  }
}

TEST(SmdInterleave, BlocksAreIndependent) {
  const Bytes plain = Random(3 * kSmdBlockSize + 100, 11);
  Bytes middle = plain;
  PlainToSmd(middle.data(), 0);
  EXPECT_EQ(middle, plain);
  PlainToSmd(middle.data() + kSmdBlockSize, 1);
  Bytes expected = plain;
  const Bytes block(plain.begin() + kSmdBlockSize, plain.begin() + 2 * kSmdBlockSize);
  const Bytes smdBlock = ReferenceSmd(block);
  std::copy(smdBlock.begin(), smdBlock.end(), expected.begin() + kSmdBlockSize);
  EXPECT_EQ(middle, expected);
  SmdToPlain(middle.data() + kSmdBlockSize, 1);
  EXPECT_EQ(middle, plain);
}

TEST(SmdInterleave, VectorPathEqualsPortableOnAnUnalignedBuffer) {
  const Bytes input = Random(4 * kSmdBlockSize + 1, 42);
  Bytes fast = input;
  Bytes portable = input;
  PlainToSmd(fast.data() + 1, 4);
  PlainToSmdPortable(portable.data() + 1, 4);
  EXPECT_EQ(fast, portable);
  SmdToPlain(fast.data() + 1, 4);
  SmdToPlainPortable(portable.data() + 1, 4);
  EXPECT_EQ(fast, input);
  EXPECT_EQ(portable, input);
#if defined(__x86_64__) || defined(__SSE2__)
  EXPECT_TRUE(SmdInterleaveUsesSimd());
#endif
}

}  // namespace
}  // namespace ql
