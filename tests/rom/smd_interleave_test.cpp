#include "rom/smd_interleave.h"

#include <gtest/gtest.h>

#include "tests/rom/rom_test_support.h"

namespace ql {
namespace {

using testing::Bytes;
using testing::Slice;

// Both paths, on blocks at an odd address between guard bytes: the reference's SMD layout, and back to plain.
TEST(SmdInterleave, FollowsTheLayoutTouchesOnlyItsBlocksAndRoundTrips) {
  using Convert = void (*)(std::uint8_t*, std::size_t);
  const std::pair<Convert, Convert> paths[] = {{PlainToSmd, SmdToPlain}, {PlainToSmdPortable, SmdToPlainPortable}};
  for (const auto& [toSmd, toPlain] : paths) {
    for (std::size_t blocks : {0u, 1u, 3u}) {
      SCOPED_TRACE(::testing::Message() << (toSmd == PlainToSmd ? "vector " : "portable ") << blocks);
      const std::size_t size = blocks * kSmdBlockSize;
      const Bytes input = testing::Pattern(size + 2, static_cast<std::uint32_t>(blocks));
      Bytes work = input;
      toSmd(work.data() + 1, blocks);
      EXPECT_EQ(work, testing::Cat({Slice(input, 0, 1), testing::Interleaved(Slice(input, 1, size)), {input.back()}}));
      toPlain(work.data() + 1, blocks);
      EXPECT_EQ(work, input);
    }
  }
#if defined(__x86_64__) || defined(__SSE2__)
  EXPECT_TRUE(SmdInterleaveUsesSimd());
#endif
}

}  // namespace
}  // namespace ql
