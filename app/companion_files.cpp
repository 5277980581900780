#include <string>

#include "app/window_state.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"
#include "rom/load_image.h"
#include "rom/path_helpers.h"

namespace ql {
namespace {

bool LoadCompanion(const std::string& romPath, const char* ext) {
  return LoadImageFile(CompanionPath(romPath, ext)) != FileKind::None;
}

// A companion that is not there takes the previous ROM's file out of the window.
void EmptySlot(std::string& slot, int menuItem, int label, int field) {
  FrontEnd& ui = UI();
  ui.EnableMenuItem(menuItem, false);
  ui.EnableControl(label, false);
  ui.SetControlText(field, " ");
  slot.clear();
}

}  // namespace

std::string CompanionPath(const std::string& romPath, const char* ext) {
  // Replacing after the last "." of the whole path would rename a folder
  // ("C:\v1.2\game") or glue the extension on without a dot ("game" + "bbd").
  return ReplaceExtension(romPath, ext);
}

void FindCompanionFiles(unsigned loaded) {
  if ((loaded & KindBit(FileKind::Rom)) == 0) return;
  // A companion found under another kind may replace the ROM slot; the names
  // are all derived from the ROM this batch loaded.
  const std::string romPath = RomPath;

  if ((loaded & KindBit(FileKind::Sram)) == 0) {
    if (!LoadCompanion(romPath, "bbd") && !LoadCompanion(romPath, "srm")) {
      EmptySlot(SramPath, IDM_UPLOAD_SRAM, IDC_LABEL_SRAM_FILE, IDC_SRAM_FILE);
    }
  }
  if (SelectedDevice == kDeviceSwc && (loaded & KindBit(FileKind::RealTime)) == 0) {
    if (!LoadCompanion(romPath, "rts")) {
      EmptySlot(RealTimePath, IDM_UPLOAD_REALTIME, IDC_LABEL_REALTIME_FILE, IDC_REALTIME_FILE);
    }
  }
  if ((loaded & KindBit(FileKind::Patch)) == 0) {
    if (!LoadCompanion(romPath, "ips")) {
      EmptySlot(PatchPath, IDM_UPLOAD_ROM_IPS, IDC_LABEL_PATCH_FILE, IDC_PATCH_FILE);
    }
  }
}

}  // namespace ql
