#include "transfer/real_time_area.h"

#include "link/commands.h"
#include "link/copier_ops.h"

namespace ql {

RealTimeAreaPlace LocateRealTimeArea() {
  if (HasRealTimeSaveSupport()) return {0, 0xA000};
  return {FindTopDramBank(), 0x8000};
}

void SelectRealTimePage(const RealTimeAreaPlace& place, std::uint32_t page) {
  SelectBankPage(static_cast<std::uint8_t>(place.baseBank + page / 4), static_cast<std::uint8_t>(page % 4));
  // In DRAM the area lies above the first 4 MB.
  if (place.window == 0x8000) WriteMemoryByte(0xC010, 1);
}

}  // namespace ql
