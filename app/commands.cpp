#include "app/commands.h"

#include <utility>

#include "app/about.h"
#include "app/command_table.h"
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

void StartJobOf(const CommandInfo& command) {
  if (command.realTime) RealTimeMode = true;
  if (command.steps != 0) {
    StartUploadJob(command.steps);
  } else {
    StartDownloadJob(command.download);
  }
}

void Execute(bool realTime) {
  RealTimeMode = realTime;
  ExecuteImage();
  RealTimeMode = false;
}

bool RunIdleCommand(int commandId) {
  const CommandInfo* command = FindCommand(commandId);
  if (command == nullptr) return false;
  if (command->job) {
    StartJobOf(*command);
    return true;
  }
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
    case IDM_EXECUTE:
    case IDM_EXECUTE_REALTIME:
      Execute(command->realTime);
      return true;
    case IDM_PLAY_CARTRIDGE:
      PlayCartridge();
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
