// The 512-byte header copier files begin with: the block count (16-bit,
// little-endian) and the mode byte at bytes 0 to 2, 0xAA 0xBB at bytes 8
// and 9, the file type at byte 10, zeros elsewhere. The reader looks only
// at bytes 8 to 10; the writer is used for every header the program makes
// (uploads, downloads, `convert --to smd`).
#pragma once

#include <cstdint>
#include <optional>

#include "core/types.h"

namespace ql {

constexpr std::size_t kCopierMagicOffset = 8;
constexpr std::size_t kCopierTypeOffset = 10;
constexpr std::uint8_t kCopierMagic[2] = {0xAA, 0xBB};

// The file type of a copier header in the first 11 or more bytes `probe`,
// or nullopt when the bytes are not one or the type is not 4 to 8.
std::optional<std::uint8_t> CopierHeaderType(const std::uint8_t* probe, std::size_t probeSize);

// Zeroes kCopierHeaderSize bytes at header and fills in the block count,
// the mode byte, the signature and the file type.
void FillCopierHeader(std::uint8_t* header, std::uint16_t blockCount, std::uint8_t modeByte, std::uint8_t fileType);

}  // namespace ql
