#include "rom/crc32.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace ql {
namespace {

std::uint32_t CrcOf(std::string_view text) {
  return Crc32(0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(Crc32, KnownAnswers) {
  EXPECT_EQ(CrcOf(""), 0x00000000u);
  EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(CrcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  const std::vector<std::uint8_t> zeros(32, 0x00), ones(32, 0xFF);
  EXPECT_EQ(Crc32(0, zeros), 0x190A55ADu);
  EXPECT_EQ(Crc32(0, ones), 0xFF6CAB0Bu);
}

// A file read in chunks gets the CRC of the whole, whatever the cut.
TEST(Crc32, ChunksContinueTheWhole) {
  const std::string_view text = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    const std::uint32_t head = Crc32(0, {bytes, cut});
    EXPECT_EQ(Crc32(head, {bytes + cut, text.size() - cut}), 0xCBF43926u) << "cut at " << cut;
  }
}

}  // namespace
}  // namespace ql
