#include "rom/load_image.h"

#include "core/front_end.h"
#include "core/slot_table.h"
#include "core/state.h"
#include "resources/resource_ids.h"
#include "rom/genesis_header.h"
#include "rom/image_classifier.h"
#include "rom/path_helpers.h"
#include "rom/snes_header.h"

namespace ql {
namespace {

void ShowRomHeader(const ImageClassification& rom) {
  FrontEnd& ui = UI();
  if (SelectedDevice == kDeviceSwc) {
    SnesHeaderBlock block;
    std::copy(rom.header.begin(), rom.header.begin() + kSnesHeaderSize, block.begin());
    const HeaderTexts texts = DescribeSnesHeader(block, rom.hiRom, rom.dataSize);
    for (int label = IDC_LABEL_NAME; label <= IDC_LABEL_VERSION; ++label) ui.EnableControl(label, true);
    ui.SetControlText(IDC_NAME, texts.Name);
    ui.SetControlText(IDC_MAKEUP, texts.Makeup);
    ui.SetControlText(IDC_ROM_SIZE, texts.RomSize);
    ui.SetControlText(IDC_SRAM_SIZE, texts.SramSize);
    ui.SetControlText(IDC_REGION, texts.Region);
    ui.SetControlText(IDC_MAKER, texts.Maker);
    ui.SetControlText(IDC_VERSION, texts.Version);
  } else {
    const HeaderTexts texts = DescribeGenesisHeader(rom.header, rom.dataSize);
    ui.EnableControl(IDC_LABEL_NAME, true);
    ui.EnableControl(IDC_LABEL_MAKEUP, false);
    ui.EnableControl(IDC_LABEL_ROM_SIZE, true);
    ui.EnableControl(IDC_LABEL_SRAM_SIZE, false);
    ui.EnableControl(IDC_LABEL_REGION, true);
    ui.EnableControl(IDC_LABEL_MAKER, true);
    ui.EnableControl(IDC_LABEL_VERSION, false);
    // The greyed fields keep whatever the shell left in them.
    ui.SetControlText(IDC_NAME, texts.Name);
    ui.SetControlText(IDC_ROM_SIZE, texts.RomSize);
    ui.SetControlText(IDC_REGION, texts.Region);
    ui.SetControlText(IDC_MAKER, texts.Maker);
  }
}

void AcceptRom(const std::string& path, const ImageClassification& rom) {
  FrontEnd& ui = UI();
  RomHasCopierHeader = rom.hasCopierHeader;
  if (SelectedDevice == kDeviceSwc) RomIsHiRom = rom.hiRom;
  RomHeader = rom.header;
  ui.EnableMenuItem(IDM_UPLOAD_AND_RUN, true);
  ui.EnableMenuItem(IDM_UPLOAD_AND_RUN_REALTIME, SelectedDevice == kDeviceSwc);
  ui.EnableMenuItem(IDM_UPLOAD_ROM, true);
  ui.EnableMenuItem(IDM_UPLOAD_ROM_IPS, !PatchPath.empty());
  LastDirectory = FolderOf(path);
  FillSlot(FileKind::Rom, path, FileNameOf(path));
  ShowRomHeader(rom);
}

void AcceptSram(const std::string& path, const ImageClassification& sram) {
  SramHasCopierHeader = sram.hasCopierHeader;
  UI().EnableMenuItem(IDM_UPLOAD_SRAM, true);
  LastDirectory = FolderOf(path);
  FillSlot(FileKind::Sram, path, FileNameOf(path));
}

void AcceptRealTime(const std::string& path) {
  // Only the SWC has real-time saves; on SMD the file is kept but cannot be sent.
  UI().EnableMenuItem(IDM_UPLOAD_REALTIME, SelectedDevice == kDeviceSwc);
  LastDirectory = FolderOf(path);
  FillSlot(FileKind::RealTime, path, FileNameOf(path));
}

void AcceptPatch(const std::string& path) {
  UI().EnableMenuItem(IDM_UPLOAD_ROM_IPS, !RomPath.empty());
  LastDirectory = FolderOf(path);
  FillSlot(FileKind::Patch, path, FileNameOf(path));
}

}  // namespace

FileKind LoadImageFile(const std::string& path) {
  if (!PathFitsSlot(path)) return FileKind::None;
  // An embedded NUL would open a different file than the one named.
  if (path.find('\0') != std::string::npos) return FileKind::None;
  ImageClassification result;
  {
    FileImageReader image(path);
    if (!image.IsOpen()) return FileKind::None;
    result = ClassifyImage(image, path, SelectedDevice);
  }
  switch (result.kind) {
    case FileKind::Rom:
      AcceptRom(path, result);
      break;
    case FileKind::Sram:
      AcceptSram(path, result);
      break;
    case FileKind::RealTime:
      AcceptRealTime(path);
      break;
    case FileKind::Patch:
      AcceptPatch(path);
      break;
    case FileKind::None:
      break;
  }
  return result.kind;
}

}  // namespace ql
