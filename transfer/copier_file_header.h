// The 512-byte copier header that uploads send and downloaded files begin with.
#pragma once

#include <cstdint>

namespace ql {

// Zeroes 512 bytes at header and fills the block count (little-endian), the
// mode byte, the 0xAA 0xBB signature and the file type.
void FillCopierHeader(std::uint8_t* header, std::uint16_t blockCount, std::uint8_t modeByte, std::uint8_t fileType);

}  // namespace ql
