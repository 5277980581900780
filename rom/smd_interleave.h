// The Super Magic Drive's 16 KB block interleave, in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ql {

constexpr std::size_t kSmdBlockSize = 16384;

// Converts `blocks` whole 16 KB blocks at the start of buffer (blocks >= 1).
void SmdToPlain(std::uint8_t* buffer, std::size_t blocks);
// Converts `blocks` whole blocks from plain order to SMD order (0 does nothing).
void PlainToSmd(std::uint8_t* buffer, std::size_t blocks);

}  // namespace ql
