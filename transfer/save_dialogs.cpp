#include "transfer/save_dialogs.h"

#include "core/state.h"
#include "core/types.h"
#include "rom/path_helpers.h"

namespace ql {

std::string FolderWithSeparator(const std::string& path) { return path.substr(0, AfterLastSeparator(path)); }

SaveFileRequest CartridgeSaveRequest(std::uint8_t device) {
  SaveFileRequest request;
  request.initialDirectory = LastDirectory;
  if (device == kDeviceSmd) {
    request.filters = {{"ROM Image (*.smd)", "*.smd"}};
    request.defaultExtension = "smd";
  } else {
    request.filters = {{"ROM Image (*.swc, *.smc)", "*.smc;*.swc"}};
    request.defaultExtension = "swc";
  }
  request.filterIndex = 0;
  return request;
}

SaveFileRequest SramSaveRequest() {
  SaveFileRequest request;
  request.filters = {{"Backup Battery Data (*.bbd)", "*.bbd"}, {"Emulator SRAM (*.srm)", "*.srm"}};
  request.defaultExtension = "";
  request.filterIndex = 1;
  if (!SramPath.empty()) {
    request.initialDirectory = FolderWithSeparator(SramPath);
    request.fileName = SramPath;
    if (HasExtension(SramPath, "srm")) request.filterIndex = 2;
  } else if (!RomPath.empty()) {
    request.initialDirectory = FolderWithSeparator(RomPath);
    request.fileName = ReplaceExtension(RomPath, nullptr);
  } else {
    request.initialDirectory = LastDirectory;
  }
  return request;
}

SaveFileRequest RealTimeSaveRequest() {
  SaveFileRequest request;
  request.filters = {{"Real-time Save (*.rts)", "*.rts"}};
  request.defaultExtension = "rts";
  request.filterIndex = 0;
  if (!RealTimePath.empty()) {
    request.initialDirectory = FolderWithSeparator(RealTimePath);
    request.fileName = RealTimePath;
  } else if (!RomPath.empty()) {
    request.initialDirectory = FolderWithSeparator(RomPath);
    request.fileName = ReplaceExtension(RomPath, "rts");
  } else {
    request.initialDirectory = LastDirectory;
  }
  return request;
}

bool SramFileGetsHeader(const SaveFileRequest& answered) {
  if (HasExtension(answered.fileName, "bbd")) return true;
  if (HasExtension(answered.fileName, "srm")) return false;
  return answered.filterIndex <= 1;  // 0 and 1 both mean the first filter
}

}  // namespace ql
