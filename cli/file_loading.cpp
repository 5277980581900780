#include "cli/file_loading.h"

#include <fmt/format.h>

#include "app/file_batch.h"
#include "cli/file_io.h"
#include "core/state.h"
#include "rom/load_image.h"

namespace ql::cli {

std::string DeviceImageName() { return SelectedDevice == kDeviceSmd ? "Genesis" : "Super NES"; }

namespace {

// Says why a file was not taken.
void NameRefusal(const std::string& path, CliFrontEnd& ui) {
  if (!path.empty() && !PathFitsSlot(path)) {
    ui.Error(
        fmt::format("{}: path longer than {} characters, refused (the program keeps at most {}; move or rename "
                    "the file)",
                    path, kMaxPathLength, kMaxPathLength));
  } else if (std::string kind = NotRegularFileKind(path); !kind.empty()) {
    ui.Error(fmt::format("{}: is {}, refused; name a regular file", path, kind));
  } else if (!IsReadable(path)) {
    ui.Error(fmt::format("{}: cannot be read", path));
  } else {
    ui.Error(fmt::format("{}: not recognised (not a {} ROM image, an SRAM file, a real-time save or an IPS patch{})",
                         path, DeviceImageName(),
                         SelectedDevice == kDeviceSmd ? "" : "; for a Genesis image use --device smd"));
  }
}

}  // namespace

FileKind LoadOneFile(const std::string& path, CliFrontEnd& ui) {
  const FileKind kind = LoadImageFile(path);
  if (kind == FileKind::None) NameRefusal(path, ui);
  return kind;
}

unsigned LoadAsDrop(const std::vector<std::string>& paths, CliFrontEnd& ui) {
  return LoadFileBatch(paths, [&ui](const std::string& path, FileKind kind) {
    if (kind == FileKind::None) NameRefusal(path, ui);
  });
}

}  // namespace ql::cli
