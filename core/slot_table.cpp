#include "core/slot_table.h"

#include "core/front_end.h"
#include "core/state.h"
#include "resources/resource_ids.h"

namespace ql {

const std::array<SlotInfo, 4>& SlotTable() {
  static const std::array<SlotInfo, 4> table = {{
      {FileKind::Rom, &RomPath, IDC_LABEL_ROM_FILE, IDC_ROM_FILE, IDM_UPLOAD_ROM},
      {FileKind::Sram, &SramPath, IDC_LABEL_SRAM_FILE, IDC_SRAM_FILE, IDM_UPLOAD_SRAM},
      {FileKind::RealTime, &RealTimePath, IDC_LABEL_REALTIME_FILE, IDC_REALTIME_FILE, IDM_UPLOAD_REALTIME},
      {FileKind::Patch, &PatchPath, IDC_LABEL_PATCH_FILE, IDC_PATCH_FILE, IDM_UPLOAD_ROM_IPS},
  }};
  return table;
}

const SlotInfo& SlotOf(FileKind kind) { return SlotTable()[static_cast<std::size_t>(kind) - 1]; }

void FillSlot(FileKind kind, const std::string& path, const std::string& name) {
  const SlotInfo& slot = SlotOf(kind);
  *slot.path = path;
  UI().EnableControl(slot.label, true);
  UI().SetControlText(slot.field, name);
}

void EmptySlot(FileKind kind) {
  const SlotInfo& slot = SlotOf(kind);
  FrontEnd& ui = UI();
  ui.EnableMenuItem(slot.menuItem, false);
  ui.EnableControl(slot.label, false);
  ui.SetControlText(slot.field, " ");
  slot.path->clear();
}

}  // namespace ql
