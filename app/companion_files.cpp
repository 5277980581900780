#include <string>

#include "app/window_state.h"
#include "core/slot_table.h"
#include "core/state.h"
#include "core/types.h"
#include "rom/load_image.h"
#include "rom/path_helpers.h"

namespace ql {
namespace {

// The companions of a ROM, in the order they are looked for; the first name
// that loads counts (a .bbd before a .srm).
struct Companion {
  FileKind slot;
  const char* extensions[2];
  bool swcOnly;
};
constexpr Companion kCompanions[] = {
    {FileKind::Sram, {"bbd", "srm"}, false},
    {FileKind::RealTime, {"rts", nullptr}, true},
    {FileKind::Patch, {"ips", nullptr}, false},
};

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
  for (const Companion& companion : kCompanions) {
    // A slot the batch filled is neither searched nor emptied; with the SMD
    // selected the real-time slot is left as it is.
    if ((loaded & KindBit(companion.slot)) != 0) continue;
    if (companion.swcOnly && SelectedDevice != kDeviceSwc) continue;
    bool found = false;
    for (const char* ext : companion.extensions) {
      if (ext != nullptr && !found) found = LoadImageFile(CompanionPath(romPath, ext)) != FileKind::None;
    }
    // A companion that is not there takes the previous ROM's file out of the window.
    if (!found) EmptySlot(companion.slot);
  }
}

}  // namespace ql
