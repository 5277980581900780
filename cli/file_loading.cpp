#include "cli/file_loading.h"

#include <fmt/format.h>
#include <unistd.h>

#include "app/window_state.h"
#include "core/state.h"
#include "rom/load_image.h"

namespace ql::cli {

std::string DeviceImageName() { return SelectedDevice == kDeviceSmd ? "Genesis" : "Super NES"; }

FileKind LoadOneFile(const std::string& path, CliFrontEnd& ui) {
  if (!path.empty() && !PathFitsSlot(path)) {
    ui.Error(
        fmt::format("{}: path longer than {} characters, refused (the program keeps at most {}; move or rename "
                    "the file)",
                    path, kMaxPathLength, kMaxPathLength));
    return FileKind::None;
  }
  FileKind kind = LoadImageFile(path);
  if (kind != FileKind::None) return kind;
  if (access(path.c_str(), R_OK) != 0) {
    ui.Error(fmt::format("{}: cannot be read", path));
  } else {
    ui.Error(fmt::format("{}: not recognised (not a {} ROM image, an SRAM file, a real-time save or an IPS patch{})",
                         path, DeviceImageName(),
                         SelectedDevice == kDeviceSmd ? "" : "; for a Genesis image use --device smd"));
  }
  return FileKind::None;
}

unsigned LoadAsDrop(const std::vector<std::string>& paths, CliFrontEnd& ui) {
  unsigned kinds = 0;
  for (const std::string& path : paths) kinds |= KindBit(LoadOneFile(path, ui));
  FindCompanionFiles(kinds);
  return kinds;
}

}  // namespace ql::cli
