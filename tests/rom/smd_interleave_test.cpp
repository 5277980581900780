#include "rom/smd_interleave.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ql {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

// Straight from the layout: SMD byte k is plain 2k+1, SMD byte 8192+k is plain 2k.
Bytes ReferenceSmd(const Bytes& plain) {
  Bytes smd(plain.size());
  for (std::size_t n = 0; n < plain.size() / kSmdBlockSize; ++n) {
    const std::size_t base = n * kSmdBlockSize;
    for (std::size_t k = 0; k < 8192; ++k) {
      smd[base + k] = plain[base + 2 * k + 1];
      smd[base + 8192 + k] = plain[base + 2 * k];
    }
  }
  return smd;
}

TEST(SmdInterleave, CountingBytesLandWhereTheLayoutSays) {
  Bytes block(kSmdBlockSize);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  Bytes smd = block;
  PlainToSmd(smd.data(), 1);
  EXPECT_EQ(smd[0], 0x01);
  EXPECT_EQ(smd[1], 0x03);
  EXPECT_EQ(smd[2], 0x05);
  EXPECT_EQ(smd[8191], 0xFF);
  EXPECT_EQ(smd[8192], 0x00);
  EXPECT_EQ(smd[8193], 0x02);
  EXPECT_EQ(smd[16383], 0xFE);
  EXPECT_EQ(smd, ReferenceSmd(block));
}

TEST(SmdInterleave, BothDirectionsMatchTheLayoutOnRandomData) {
  for (std::size_t blocks : {1u, 2u, 5u}) {
    const Bytes plain = Random(blocks * kSmdBlockSize, static_cast<unsigned>(blocks));
    const Bytes expected = ReferenceSmd(plain);
    Bytes work = plain;
    PlainToSmd(work.data(), blocks);
    EXPECT_EQ(work, expected) << blocks;
    SmdToPlain(work.data(), blocks);
    EXPECT_EQ(work, plain) << blocks;
  }
}

TEST(SmdInterleave, ZeroBlocksAndBytesPastTheLastBlockUntouched) {
  const Bytes original = Random(kSmdBlockSize + 100, 7);
  Bytes work = original;
  PlainToSmd(work.data(), 0);
  EXPECT_EQ(work, original);
  PlainToSmdPortable(work.data(), 0);
  EXPECT_EQ(work, original);
  PlainToSmd(work.data(), 1);
  EXPECT_TRUE(std::equal(work.begin() + kSmdBlockSize, work.end(), original.begin() + kSmdBlockSize));
  SmdToPlain(work.data(), 1);
  EXPECT_EQ(work, original);
}

TEST(SmdInterleave, BlocksAreIndependent) {
  // Each block filled with its own value: nothing may cross a block boundary.
  Bytes work(3 * kSmdBlockSize);
  for (std::size_t i = 0; i < work.size(); ++i) work[i] = static_cast<std::uint8_t>(0x10 * (i / kSmdBlockSize + 1));
  const Bytes original = work;
  PlainToSmd(work.data(), 3);
  EXPECT_EQ(work, original);
  SmdToPlain(work.data(), 3);
  EXPECT_EQ(work, original);
  // Converting the middle block alone equals converting it as part of three.
  const Bytes plain = Random(3 * kSmdBlockSize, 11);
  Bytes all = plain;
  PlainToSmd(all.data(), 3);
  Bytes middle = plain;
  PlainToSmd(middle.data() + kSmdBlockSize, 1);
  EXPECT_TRUE(std::equal(all.begin() + kSmdBlockSize, all.begin() + 2 * kSmdBlockSize, middle.begin() + kSmdBlockSize));
  EXPECT_TRUE(std::equal(middle.begin(), middle.begin() + kSmdBlockSize, plain.begin()));
  EXPECT_TRUE(std::equal(middle.begin() + 2 * kSmdBlockSize, middle.end(), plain.begin() + 2 * kSmdBlockSize));
}

TEST(SmdInterleave, VectorAndPortablePathsGiveIdenticalBytes) {
  const Bytes input = Random(4 * kSmdBlockSize, 42);
  Bytes fast = input;
  Bytes portable = input;
  PlainToSmd(fast.data(), 4);
  PlainToSmdPortable(portable.data(), 4);
  EXPECT_EQ(fast, portable);
  fast = input;
  portable = input;
  SmdToPlain(fast.data(), 4);
  SmdToPlainPortable(portable.data(), 4);
  EXPECT_EQ(fast, portable);
#if defined(__x86_64__) || defined(__SSE2__)
  EXPECT_TRUE(SmdInterleaveUsesSimd());
#endif
}

TEST(SmdInterleave, UnalignedBuffer) {
  Bytes storage = Random(2 * kSmdBlockSize + 1, 5);
  const Bytes plain(storage.begin() + 1, storage.end());
  PlainToSmd(storage.data() + 1, 2);
  EXPECT_TRUE(std::equal(storage.begin() + 1, storage.end(), ReferenceSmd(plain).begin()));
  SmdToPlain(storage.data() + 1, 2);
  EXPECT_TRUE(std::equal(storage.begin() + 1, storage.end(), plain.begin()));
}

}  // namespace
}  // namespace ql
