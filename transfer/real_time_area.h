// Where the SWC keeps its real-time save area: pages 0 to 31 behind the
// high window on a copier with the "SUB" signature, otherwise eight DRAM
// banks from FindTopDramBank behind the DRAM window. The same map serves
// the upload and the download.
#pragma once

#include <cstdint>

#include "core/units.h"

namespace ql {

constexpr std::uint32_t kRealTimePageSize = kSwcBlockSize;
constexpr std::uint32_t kRealTimeAreaPages = 32;
constexpr std::uint32_t kRealTimeAreaSize = kRealTimePageSize * kRealTimeAreaPages;  // 262,144
constexpr std::uint32_t kRealTimeAreaKilobits = kRealTimeAreaSize / kKilobitBytes;     // 2048

struct RealTimeAreaPlace {
  std::uint8_t baseBank;
  std::uint16_t window;
};

// Probes the copier (signature, then DRAM size). Lets LinkTimeout through.
RealTimeAreaPlace LocateRealTimeArea();
// Selects page j of the area, with the DRAM set-up write where it needs one.
void SelectRealTimePage(const RealTimeAreaPlace& place, std::uint32_t page);

}  // namespace ql
