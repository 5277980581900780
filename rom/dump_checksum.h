// The internal checksums of Super NES and Genesis images, computed over the
// image data the way the consoles' own tools define them, so that a damaged
// dump can be told from a good one.
#pragma once

#include <cstdint>
#include <span>

namespace ql {

// The 16-bit sum of every byte of a Super NES image (no copier header). An
// image whose size is not a power of two is summed as a cartridge decodes
// it: the part beyond the largest power of two is repeated until it fills
// that power of two, and the same rule applies inside that part.
std::uint16_t SnesImageChecksum(std::span<const std::uint8_t> data);

// The 16-bit sum of the big-endian words from offset 0x200 to the end of a
// Genesis image in plain order; an odd last byte counts as a high byte.
std::uint16_t GenesisImageChecksum(std::span<const std::uint8_t> plain);

struct ChecksumComparison {
  std::uint16_t computed = 0;
  std::uint16_t header = 0;  // what the internal header declares
  bool Agrees() const { return computed == header; }
};

}  // namespace ql
