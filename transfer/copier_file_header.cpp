#include "transfer/copier_file_header.h"

#include <cstring>

#include "core/types.h"

namespace ql {

void FillCopierHeader(std::uint8_t* header, std::uint16_t blockCount, std::uint8_t modeByte, std::uint8_t fileType) {
  std::memset(header, 0, kCopierHeaderSize);
  header[0] = static_cast<std::uint8_t>(blockCount & 0xFF);
  header[1] = static_cast<std::uint8_t>(blockCount >> 8);
  header[2] = modeByte;
  header[8] = 0xAA;
  header[9] = 0xBB;
  header[10] = fileType;
}

}  // namespace ql
