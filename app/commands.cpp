#include "app/commands.h"

#include <utility>

#include "app/about.h"
#include "app/jobs.h"
#include "app/window_state.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "link/copier_ops.h"
#include "resources/resource_ids.h"
#include "rom/cartridge_info.h"

namespace ql {
namespace {

OpenFilesHandler openFilesHandler;

void PlayButton() {
  if (JobRunning()) {
    CancelRequested = true;
    return;
  }
  if (RomPath.empty()) {
    PlayCartridge();
    return;
  }
  if (!RealTimePath.empty()) RealTimeMode = true;
  StartUploadJob(UploadSteps::All);
}

void StartRealTimeUpload(std::uint8_t steps) {
  RealTimeMode = true;
  StartUploadJob(steps);
}

void Execute(bool realTime) {
  RealTimeMode = realTime;
  ExecuteImage();
  RealTimeMode = false;
}

bool RunIdleCommand(int commandId) {
  switch (commandId) {
    case IDM_OPEN:
      if (!openFilesHandler) return false;
      openFilesHandler();
      return true;
    case IDM_CARTRIDGE_INFO:
      ShowCartridgeInfo();
      return true;
    case IDM_DEVICE_SWC:
      SelectDevice(kDeviceSwc);
      return true;
    case IDM_DEVICE_SMD:
      SelectDevice(kDeviceSmd);
      return true;
    case IDM_LPT1:
    case IDM_LPT2:
    case IDM_LPT3:
      SelectLpt(static_cast<std::uint8_t>(commandId - IDM_LPT1 + 1));
      return true;
    case IDM_UPLOAD_AND_RUN:
      StartUploadJob(UploadSteps::All);
      return true;
    case IDM_UPLOAD_AND_RUN_REALTIME:
      StartRealTimeUpload(UploadSteps::All);
      return true;
    case IDM_EXECUTE:
      Execute(false);
      return true;
    case IDM_EXECUTE_REALTIME:
      Execute(true);
      return true;
    case IDM_PLAY_CARTRIDGE:
      PlayCartridge();
      return true;
    case IDM_UPLOAD_ROM:
      StartUploadJob(UploadSteps::Rom);
      return true;
    case IDM_UPLOAD_ROM_IPS:
      StartUploadJob(UploadSteps::Rom | UploadSteps::ApplyPatch);
      return true;
    case IDM_UPLOAD_SRAM:
      StartUploadJob(UploadSteps::Sram);
      return true;
    case IDM_UPLOAD_REALTIME:
      // The real-time save step only runs in real-time mode; this command
      // is the one way to send the loaded save by itself, so it asks for it.
      StartRealTimeUpload(UploadSteps::RealTime);
      return true;
    case IDM_DOWNLOAD_CARTRIDGE:
      StartDownloadJob(static_cast<std::uint8_t>(DownloadKind::CartridgeRom));
      return true;
    case IDM_DOWNLOAD_SRAM:
      StartDownloadJob(static_cast<std::uint8_t>(DownloadKind::Sram));
      return true;
    case IDM_DOWNLOAD_REALTIME:
      StartDownloadJob(static_cast<std::uint8_t>(DownloadKind::RealTime));
      return true;
    default:
      return false;
  }
}

}  // namespace

bool RunCommand(int commandId) {
  switch (commandId) {
    case IDC_PLAY:
      PlayButton();
      return true;
    case IDM_ABOUT:
      UI().ShowMessage(AboutText(), kAboutCaption, MessageIcon::None);
      return true;
    case IDM_EXIT:
      QuitRequested = true;
      return true;
    default:
      break;
  }
  if (JobRunning()) return false;
  return RunIdleCommand(commandId);
}

void SetOpenFilesHandler(OpenFilesHandler handler) { openFilesHandler = std::move(handler); }

}  // namespace ql
