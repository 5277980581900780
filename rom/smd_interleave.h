// The Super Magic Drive's 16 KB block interleave, in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/units.h"

namespace ql {

// Converts `blocks` whole 16 KB blocks at the start of buffer (blocks >= 1).
void SmdToPlain(std::uint8_t* buffer, std::size_t blocks);
// Converts `blocks` whole blocks from plain order to SMD order (0 does nothing).
void PlainToSmd(std::uint8_t* buffer, std::size_t blocks);

// The byte-at-a-time versions; SmdToPlain and PlainToSmd give the same bytes
// with vector instructions where the target has them.
void SmdToPlainPortable(std::uint8_t* buffer, std::size_t blocks);
void PlainToSmdPortable(std::uint8_t* buffer, std::size_t blocks);
// Whether SmdToPlain and PlainToSmd use the vector path in this build.
bool SmdInterleaveUsesSimd();

}  // namespace ql
