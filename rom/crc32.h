// The CRC-32 of zip and PNG (reflected polynomial 0xEDB88320), as dump
// lists quote it for ROM images.
#pragma once

#include <cstdint>
#include <span>

namespace ql {

// Continues `crc` (0 to start) over `bytes`, so a file can be fed in chunks.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

}  // namespace ql
