// ROM upload: file to copier memory, with the upload header and mode byte.
#pragma once

#include <cstdint>

namespace ql {

bool UploadRom(bool applyPatch);
// data holds the image in whole blocks (8 KB SWC, 16 KB SMD): the last block
// is sent whole, so the buffer must extend to its end.
bool SendRomSwc(const std::uint8_t* data, std::uint32_t dataSize);
bool SendRomSmd(const std::uint8_t* data, std::uint32_t dataSize);
// The SWC mode byte for an SRAM size code, a count of 8 KB blocks and the map.
std::uint8_t SwcModeByteFor(std::uint8_t sramSizeCode, std::uint32_t blocks, bool hiRom);

}  // namespace ql
