#include "cli/copier_commands.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include "app/commands.h"
#include "app/jobs.h"
#include "cli/check_command.h"
#include "cli/exit_codes.h"
#include "cli/file_loading.h"
#include "cli/interrupt.h"
#include "core/state.h"
#include "resources/resource_ids.h"
#include "transfer/rom_upload.h"
#include "transfer/verification.h"

namespace ql::cli {
namespace {

constexpr int kJobPollMs = 50;

bool IsJobCommand(int id) {
  return (id >= IDM_UPLOAD_AND_RUN && id <= IDM_UPLOAD_AND_RUN_REALTIME) ||
         (id >= IDM_UPLOAD_ROM && id <= IDM_DOWNLOAD_REALTIME);
}

// Why the window would have this command grey right now.
std::string WhyUnavailable(int id) {
  const bool smd = SelectedDevice == kDeviceSmd;
  switch (id) {
    case IDM_UPLOAD_AND_RUN:
    case IDM_UPLOAD_ROM:
      return "no ROM image was loaded from the files given";
    case IDM_UPLOAD_AND_RUN_REALTIME:
      return smd ? "real-time runs are for the SWC only" : "no ROM image was loaded from the files given";
    case IDM_UPLOAD_ROM_IPS:
      return "needs a ROM image and an IPS patch (give both, or put the patch beside the ROM with the same name)";
    case IDM_UPLOAD_SRAM:
      return "no SRAM file was loaded from the files given";
    case IDM_UPLOAD_REALTIME:
      return smd ? "real-time saves are for the SWC only" : "no real-time save was loaded from the files given";
    case IDM_EXECUTE_REALTIME:
      return "real-time mode is for the SWC only";
    case IDM_CARTRIDGE_INFO:
      return "Cartridge Info is for the SWC only";
    case IDM_DOWNLOAD_REALTIME:
      return "real-time saves are for the SWC only";
    default:
      return "not available";
  }
}

// Execute with a ROM given: the block count and mode byte its upload would set.
bool PrepareExecute(const std::string& romPath, CliFrontEnd& ui) {
  FileKind kind = LoadOneFile(romPath, ui);
  if (kind == FileKind::None) return false;
  if (kind != FileKind::Rom) {
    ui.Error(fmt::format("{}: not a {} ROM image", romPath, DeviceImageName()));
    return false;
  }
  return RecordLoadedRomForExecute();
}

std::string CommandLabel(const Invocation& inv) {
  switch (inv.command) {
    case Command::Run:
      return inv.realTime ? "run --realtime" : "run";
    case Command::Upload:
      return "upload " + inv.what;
    case Command::Execute:
      return inv.realTime ? "execute --realtime" : "execute";
    case Command::CartInfo:
      return "cart-info";
    case Command::Download:
      return "download " + inv.what;
    default:
      return "play";
  }
}

int Finish(CliFrontEnd& ui, bool jobFailed) {
  if (Interrupted()) return kExitCancelled;
  return ui.FailureShown() || jobFailed ? kExitFailed : kExitOk;
}

}  // namespace

int MenuCommandFor(const Invocation& inv) {
  switch (inv.command) {
    case Command::Run:
      return inv.realTime ? IDM_UPLOAD_AND_RUN_REALTIME : IDM_UPLOAD_AND_RUN;
    case Command::Upload:
      if (inv.what == "rom") return IDM_UPLOAD_ROM;
      if (inv.what == "rom-ips") return IDM_UPLOAD_ROM_IPS;
      if (inv.what == "sram") return IDM_UPLOAD_SRAM;
      return IDM_UPLOAD_REALTIME;
    case Command::Execute:
      return inv.realTime ? IDM_EXECUTE_REALTIME : IDM_EXECUTE;
    case Command::Play:
      return IDM_PLAY_CARTRIDGE;
    case Command::CartInfo:
      return IDM_CARTRIDGE_INFO;
    case Command::Download:
      if (inv.what == "rom") return IDM_DOWNLOAD_CARTRIDGE;
      if (inv.what == "sram") return IDM_DOWNLOAD_SRAM;
      return IDM_DOWNLOAD_REALTIME;
    default:
      return 0;
  }
}

int RunCopierCommand(const Invocation& inv, CliFrontEnd& ui) {
  const int id = MenuCommandFor(inv);
  if (inv.command == Command::Run || inv.command == Command::Upload) {
    for (const std::string& path : inv.files) {
      if (path.size() > kMaxPathLength) {
        LoadOneFile(path, ui);  // names the refusal
        return kExitFailed;
      }
    }
    // A file the program would ignore is refused here: the user named it to have it sent.
    if (LoadAsDrop(inv.files, ui) & KindBit(FileKind::None)) {
      ui.Error(fmt::format("{}: nothing was sent", CommandLabel(inv)));
      return kExitFailed;
    }
  }
  if (inv.command == Command::Execute && !inv.files.empty() && !PrepareExecute(inv.files[0], ui)) {
    return kExitFailed;
  }
  if (inv.command == Command::Download) ui.AnswerSaveDialogWith(inv.outFile);

  // The window sends no command whose menu item is grey; neither do we.
  if (!ui.MenuItemEnabled(id)) {
    ui.Error(fmt::format("{}: {}", CommandLabel(inv), WhyUnavailable(id)));
    return kExitFailed;
  }
  if (Interrupted()) return kExitCancelled;  // Ctrl+C while the files were loading: start nothing
  VerifyUploads = inv.verify && (inv.command == Command::Run || inv.command == Command::Upload);
  VerifyDownloads = inv.verify && inv.command == Command::Download;
  if (!RunCommand(id)) {
    ui.Error("the command was refused");
    return kExitFailed;
  }
  if (IsJobCommand(id)) {
    // Polling, because a Ctrl+C that came before the job cleared its cancel flag must be repeated.
    while (!WaitForJob(kJobPollMs)) {
      if (Interrupted()) CancelRequested = true;
    }
  }
  if (inv.command == Command::Download && !ui.FailureShown() && !ui.SaveRequests().empty()) {
    struct stat st {};
    if (stat(inv.outFile.c_str(), &st) != 0) {
      // A download that could not create its file must not end as a success.
      ui.Error(fmt::format("{}: could not be created", inv.outFile));
      return Interrupted() ? kExitCancelled : kExitFailed;
    }
    // The job clears the progress line at its end; say where the data went.
    ui.Note(fmt::format("{} {} bytes to {}", Interrupted() ? "Kept" : "Saved", st.st_size, inv.outFile));
    // A dump whose checksum disagrees still downloaded: the report and its advice say what to do, the exit
    // status stays that of the transfer (hacks and prototypes often carry a wrong checksum).
    if (inv.what == "rom" && !Interrupted()) ReportDownloadedDump(inv.outFile, ui);
  } else if (IsJobCommand(id) && !ui.FailureShown() && !Interrupted()) {
    // The job clears its progress line at the end; leave a word that it went through.
    ui.NoteOnTerminal(fmt::format("{}: done", CommandLabel(inv)));
  }
  return Finish(ui, IsJobCommand(id) && LastJobFailed());
}

}  // namespace ql::cli
