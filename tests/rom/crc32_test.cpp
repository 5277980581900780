#include "rom/crc32.h"

#include <gtest/gtest.h>

#include <string_view>

namespace ql {
namespace {

// A file read in chunks gets the CRC of the whole, whatever the cut, the empty text's included.
TEST(Crc32, ChunksContinueTheWhole) {
  const std::string_view text = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  EXPECT_EQ(Crc32(0, {}), 0u);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const std::uint32_t head = Crc32(0, {bytes, cut});
    EXPECT_EQ(Crc32(head, {bytes + cut, text.size() - cut}), 0xCBF43926u) << "cut at " << cut;
  }
}

}  // namespace
}  // namespace ql
