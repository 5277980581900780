// The 512-byte header copier files may begin with: 0xAA 0xBB at bytes 8 and
// 9, the file type at byte 10. Only those three bytes are ever examined.
#pragma once

#include <cstdint>
#include <optional>

#include "core/types.h"

namespace ql {

constexpr std::size_t kCopierMagicOffset = 8;
constexpr std::size_t kCopierTypeOffset = 10;

// The file type of a copier header in the first 11 or more bytes `probe`,
// or nullopt when the bytes are not one or the type is not 4 to 8.
std::optional<std::uint8_t> CopierHeaderType(const std::uint8_t* probe, std::size_t probeSize);

}  // namespace ql
