// ROM upload: file to copier memory, with the upload header and mode byte.
#pragma once

#include <cstdint>

namespace ql {

bool UploadRom(bool applyPatch);
// data holds the image in whole blocks (8 KB SWC, 16 KB SMD): the last block
// is sent whole, so the buffer must extend to its end.
bool SendRomSwc(const std::uint8_t* data, std::uint32_t dataSize);
bool SendRomSmd(const std::uint8_t* data, std::uint32_t dataSize);
// RomBlockCount and, on the SWC, SwcModeByte as the upload of the loaded ROM
// sends them: dataSize bytes without the copier header.
void RecordUploadedImage(std::uint32_t dataSize);
// The same from the loaded ROM file, for Execute without an upload in this
// process (the command line's `execute ROM`). False after a message when
// the file cannot be read.
bool RecordLoadedRomForExecute();
// The SWC mode byte for an SRAM size code, a count of 8 KB blocks and the map.
std::uint8_t SwcModeByteFor(std::uint8_t sramSizeCode, std::uint32_t blocks, bool hiRom);

}  // namespace ql
