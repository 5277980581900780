#include "core/state.h"

#include "core/slot_table.h"

namespace ql {

void ResetSharedState() {
  SelectedDevice = 0;
  SelectedLpt = 1;
  for (const SlotInfo& slot : SlotTable()) slot.path->clear();
  LastDirectory.clear();
  RomHasCopierHeader = false;
  RomIsHiRom = false;
  SramHasCopierHeader = false;
  RomHeader.fill(0);
  RealTimeMode = false;
  CancelRequested = false;
  QuitRequested = false;
  JobThread = nullptr;
  RomBlockCount = 0;
  SwcModeByte = 0;
}

}  // namespace ql
