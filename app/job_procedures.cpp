// What a job does on its thread: the window while it runs, the steps, and
// what is put back at its end.
#include <atomic>
#include <exception>
#include <string>

#include "app/jobs.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "link/copier_ops.h"
#include "link/handshake.h"
#include "link/link_timeout.h"
#include "resources/resource_ids.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_upload.h"
#include "transfer/transfer_feedback.h"

namespace ql {
namespace {

std::atomic<bool> lastJobFailed{false};

void BeginJob() {
  FrontEnd& ui = UI();
  ui.EnableTopMenus(false);
  ui.SetControlText(IDC_PLAY, "Cancel");
  // A cancel left over from an earlier job must not stop this one.
  CancelRequested = false;
}

void EndJob(bool clearRealTimeMode, bool failed) {
  lastJobFailed = failed;
  FrontEnd& ui = UI();
  ui.EnableTopMenus(true);
  ui.SetControlText(IDC_PLAY, "&Play");
  ui.ShowProgress("", 0, 0);
  if (clearRealTimeMode) RealTimeMode = false;
  JobThread = nullptr;  // last: from here on a new job may start
}

bool Has(std::uint8_t steps, std::uint8_t step) { return (steps & step) != 0; }

// Each step runs only when asked for and its slot is filled; the first step
// that fails ends the job, the execute step included. `caption` follows the
// step that runs, for a failure the step did not expect.
bool RunUploadSteps(std::uint8_t steps, const char*& caption) {
  if (Has(steps, UploadSteps::Rom) && !RomPath.empty()) {
    caption = TransferCaption::UploadRom;
    if (!UploadRom(Has(steps, UploadSteps::ApplyPatch))) return false;
  }
  if (Has(steps, UploadSteps::Sram) && !SramPath.empty()) {
    caption = TransferCaption::UploadSram;
    if (!UploadSram()) return false;
  }
  // Real-time saves exist on the SWC only; on an SMD the step would write
  // SWC pages over the image just uploaded.
  if (RealTimeMode && SelectedDevice == kDeviceSwc && Has(steps, UploadSteps::RealTime) && !RealTimePath.empty()) {
    caption = TransferCaption::UploadRealTime;
    if (!UploadRealTimeSave()) return false;
  }
  if (Has(steps, UploadSteps::Execute)) {
    caption = TransferCaption::Execute;
    ExecuteImage();
  }
  return true;
}

// The downloads show every failure themselves; they have no result.
bool RunDownload(std::uint8_t kind, const char*& caption) {
  switch (static_cast<DownloadKind>(kind)) {
    case DownloadKind::CartridgeRom:
      caption = TransferCaption::DownloadCartridge;
      DownloadCartridgeRom();
      break;
    case DownloadKind::Sram:
      caption = TransferCaption::DownloadSram;
      DownloadSram();
      break;
    case DownloadKind::RealTime:
      caption = TransferCaption::DownloadRealTime;
      DownloadRealTimeSave();
      break;
  }
  return true;
}

enum class JobEnd { Done, StepFailed, Broken };

// Runs the job's steps so that nothing escapes the job thread unseen: a
// time-out no step caught gets the link's message, anything else a stop
// message under the caption of the step that was running.
template <typename Steps>
JobEnd RunGuarded(Steps steps, const char*& caption) {
  std::string what;
  try {
    return steps() ? JobEnd::Done : JobEnd::StepFailed;
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
    return JobEnd::Broken;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown exception";
  }
  UI().ShowMessage(kInternalErrorPrefix + what, caption, MessageIcon::Stop);
  return JobEnd::Broken;
}

// A step that stopped because the user cancelled has not failed.
bool Failed(JobEnd end) { return end == JobEnd::Broken || (end == JobEnd::StepFailed && !CancelRequested); }

}  // namespace

void UploadJob(std::uint8_t steps) {
  BeginJob();
  const char* caption = TransferCaption::UploadRom;
  const JobEnd end = RunGuarded([&] { return RunUploadSteps(steps, caption); }, caption);
  EndJob(true, Failed(end));
}

void DownloadJob(std::uint8_t kind) {
  BeginJob();
  const char* caption = TransferCaption::DownloadCartridge;
  const JobEnd end = RunGuarded([&] { return RunDownload(kind, caption); }, caption);
  EndJob(false, Failed(end));
}

bool LastJobFailed() { return lastJobFailed; }

}  // namespace ql
