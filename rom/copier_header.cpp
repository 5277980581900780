#include "rom/copier_header.h"

#include <cstring>

namespace ql {

std::optional<std::uint8_t> CopierHeaderType(const std::uint8_t* probe, std::size_t probeSize) {
  if (probeSize <= kCopierTypeOffset) return std::nullopt;
  if (probe[kCopierMagicOffset] != kCopierMagic[0] || probe[kCopierMagicOffset + 1] != kCopierMagic[1]) {
    return std::nullopt;
  }
  const std::uint8_t type = probe[kCopierTypeOffset];
  if (type < CopierFileType::SwcRom || type > CopierFileType::SwcRealTime) return std::nullopt;
  return type;
}

void FillCopierHeader(std::uint8_t* header, std::uint16_t blockCount, std::uint8_t modeByte, std::uint8_t fileType) {
  std::memset(header, 0, kCopierHeaderSize);
  header[0] = static_cast<std::uint8_t>(blockCount & 0xFF);
  header[1] = static_cast<std::uint8_t>(blockCount >> 8);
  header[2] = modeByte;
  header[kCopierMagicOffset] = kCopierMagic[0];
  header[kCopierMagicOffset + 1] = kCopierMagic[1];
  header[kCopierTypeOffset] = fileType;
}

}  // namespace ql
