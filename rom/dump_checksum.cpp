#include "rom/dump_checksum.h"

#include <bit>
#include <numeric>

namespace ql {
namespace {

constexpr std::size_t kGenesisSumStart = 0x200;

std::uint64_t ByteSum(std::span<const std::uint8_t> bytes) {
  return std::accumulate(bytes.begin(), bytes.end(), std::uint64_t{0});
}

struct DecodedSum {
  std::uint64_t sum;
  std::size_t size;  // the power of two the part fills once decoded
};

// The part beyond the largest power of two is itself decoded first, then
// repeated as often as it fits into that power of two.
DecodedSum MirroredSum(std::span<const std::uint8_t> data) {
  if (data.empty() || std::has_single_bit(data.size())) return {ByteSum(data), data.size()};
  const std::size_t base = std::bit_floor(data.size());
  const DecodedSum rest = MirroredSum(data.subspan(base));
  return {ByteSum(data.first(base)) + rest.sum * (base / rest.size), 2 * base};
}

}  // namespace

std::uint16_t SnesImageChecksum(std::span<const std::uint8_t> data) {
  return static_cast<std::uint16_t>(MirroredSum(data).sum);
}

std::uint16_t GenesisImageChecksum(std::span<const std::uint8_t> plain) {
  std::uint32_t sum = 0;
  std::size_t at = kGenesisSumStart;
  for (; at + 1 < plain.size(); at += 2) sum += static_cast<std::uint32_t>(plain[at] << 8 | plain[at + 1]);
  if (at < plain.size()) sum += static_cast<std::uint32_t>(plain[at] << 8);
  return static_cast<std::uint16_t>(sum);
}

}  // namespace ql
