#include "core/units.h"
#include "link/copier_addresses.h"
#include "transfer/real_time_area.h"

#include "link/commands.h"
#include "link/copier_ops.h"

namespace ql {

RealTimeAreaPlace LocateRealTimeArea() {
  if (HasRealTimeSaveSupport()) return {0, CopierAddress::SwcHighWindow};
  return {FindTopDramBank(), CopierAddress::DramWindow};
}

void SelectRealTimePage(const RealTimeAreaPlace& place, std::uint32_t page) {
  SelectBankPage(static_cast<std::uint8_t>(place.baseBank + page / kSwcPagesPerBank),
                 static_cast<std::uint8_t>(page % kSwcPagesPerBank));
  // In DRAM the area lies above the first 4 MB.
  if (place.window == CopierAddress::DramWindow) WriteMemoryByte(CopierAddress::SwcDramHighPages, 1);
}

}  // namespace ql
