#include "rom/image_classifier.h"

#include <algorithm>
#include <cstring>

#include "rom/copier_header.h"
#include "rom/genesis_header.h"
#include "rom/path_helpers.h"
#include "rom/snes_header.h"

namespace ql {
namespace {

bool IsPatch(const std::uint8_t* probe, std::size_t probeRead, std::uint32_t size, std::string_view path) {
  return HasExtension(path, "ips") && probeRead >= 5 && std::memcmp(probe, "PATCH", 5) == 0 && size >= kMinPatchSize;
}

ImageClassification ClassifyRom(ImageReader& image, std::uint8_t device) {
  ImageClassification result;
  const std::uint32_t size = image.Size();
  if (device == kDeviceSwc) {
    if (size > kMaxSwcImageSize) return result;
    const auto match = FindSnesHeader(image);
    if (!match) return result;
    result.hasCopierHeader = match->hasCopierHeader;
    result.hiRom = match->hiRom;
    std::copy(match->block.begin(), match->block.end(), result.header.begin());
  } else if (device == kDeviceSmd) {
    if (size > kMaxSmdImageSize) return result;
    const auto match = FindGenesisHeader(image);
    if (!match) return result;
    result.hasCopierHeader = match->smdLayout;
    result.header = match->header;
  } else {
    return result;
  }
  // A header found at a copier-header position implies the file is longer than 512 bytes.
  result.dataSize = result.hasCopierHeader ? size - static_cast<std::uint32_t>(kCopierHeaderSize) : size;
  result.kind = FileKind::Rom;
  return result;
}

}  // namespace

bool IsAcceptedSramSize(std::uint32_t dataSize) {
  return (dataSize & ~0xF800u) == 0 && LowestSetBit(dataSize) == HighestSetBit(dataSize);
}

ImageClassification ClassifyImage(ImageReader& image, std::string_view path, std::uint8_t device) {
  ImageClassification result;
  const std::uint32_t size = image.Size();
  std::uint8_t probe[kProbeSize] = {};
  const std::size_t probeRead = image.ReadAt(0, probe, kProbeSize);

  // The smallest patch is shorter than the probe, so it is tested first.
  if (IsPatch(probe, probeRead, size, path)) {
    result.kind = FileKind::Patch;
    return result;
  }
  if (probeRead < kProbeSize) return result;

  bool sramHasHeader = false;
  std::uint32_t sramDataSize = 0;
  bool sramCandidate = false;
  if (const auto type = CopierHeaderType(probe, probeRead)) {
    switch (*type) {
      case CopierFileType::SwcRom:
      case CopierFileType::SmdRom:
        return ClassifyRom(image, device);
      case CopierFileType::SwcSram:
      case CopierFileType::SmdSram:
        // A file shorter than its header holds no SRAM data at all.
        if (size >= kCopierHeaderSize) {
          sramCandidate = true;
          sramHasHeader = true;
          sramDataSize = size - static_cast<std::uint32_t>(kCopierHeaderSize);
        }
        break;
      case CopierFileType::SwcRealTime:
        result.kind = FileKind::RealTime;
        return result;
    }
  } else if (HasExtension(path, "srm")) {
    sramCandidate = true;
    sramDataSize = size;
  }

  if (sramCandidate && IsAcceptedSramSize(sramDataSize)) {
    result.kind = FileKind::Sram;
    result.hasCopierHeader = sramHasHeader;
    result.dataSize = sramDataSize;
    return result;
  }
  return ClassifyRom(image, device);
}

}  // namespace ql
