#include "rom/copier_header.h"

namespace ql {

std::optional<std::uint8_t> CopierHeaderType(const std::uint8_t* probe, std::size_t probeSize) {
  if (probeSize <= kCopierTypeOffset) return std::nullopt;
  if (probe[kCopierMagicOffset] != 0xAA || probe[kCopierMagicOffset + 1] != 0xBB) return std::nullopt;
  const std::uint8_t type = probe[kCopierTypeOffset];
  if (type < CopierFileType::SwcRom || type > CopierFileType::SwcRealTime) return std::nullopt;
  return type;
}

}  // namespace ql
