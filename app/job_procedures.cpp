// What a job does on its thread: the window while it runs, the steps, and
// what is put back at its end.
#include "app/jobs.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "link/copier_ops.h"
#include "resources/resource_ids.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_upload.h"

namespace ql {
namespace {

void BeginJob() {
  FrontEnd& ui = UI();
  ui.EnableTopMenus(false);
  ui.SetControlText(IDC_PLAY, "Cancel");
  // A cancel left over from an earlier job must not stop this one.
  CancelRequested = false;
}

void EndJob(bool clearRealTimeMode) {
  FrontEnd& ui = UI();
  ui.EnableTopMenus(true);
  ui.SetControlText(IDC_PLAY, "&Play");
  ui.ShowProgress("", 0, 0);
  if (clearRealTimeMode) RealTimeMode = false;
  JobThread = nullptr;  // last: from here on a new job may start
}

bool Has(std::uint8_t steps, std::uint8_t step) { return (steps & step) != 0; }

// Each step runs only when asked for and its slot is filled; the first step
// that fails ends the job, the execute step included.
void RunUploadSteps(std::uint8_t steps) {
  if (Has(steps, UploadSteps::Rom) && !RomPath.empty()) {
    if (!UploadRom(Has(steps, UploadSteps::ApplyPatch))) return;
  }
  if (Has(steps, UploadSteps::Sram) && !SramPath.empty()) {
    if (!UploadSram()) return;
  }
  // Real-time saves exist on the SWC only; on an SMD the step would write
  // SWC pages over the image just uploaded.
  if (RealTimeMode && SelectedDevice == kDeviceSwc && Has(steps, UploadSteps::RealTime) && !RealTimePath.empty()) {
    if (!UploadRealTimeSave()) return;
  }
  if (Has(steps, UploadSteps::Execute)) ExecuteImage();
}

void RunDownload(std::uint8_t kind) {
  switch (static_cast<DownloadKind>(kind)) {
    case DownloadKind::CartridgeRom:
      DownloadCartridgeRom();
      break;
    case DownloadKind::Sram:
      DownloadSram();
      break;
    case DownloadKind::RealTime:
      DownloadRealTimeSave();
      break;
    default:
      break;
  }
}

}  // namespace

void UploadJob(std::uint8_t steps) {
  BeginJob();
  // Whatever escapes a step (the transfers handle their own time-outs) must
  // not end the program from this thread; the window still goes back to Idle.
  try {
    RunUploadSteps(steps);
  } catch (...) {
  }
  EndJob(true);
}

void DownloadJob(std::uint8_t kind) {
  BeginJob();
  try {
    RunDownload(kind);
  } catch (...) {
  }
  EndJob(false);
}

}  // namespace ql
