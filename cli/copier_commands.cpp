#include "cli/copier_commands.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include "app/command_table.h"
#include "app/commands.h"
#include "app/jobs.h"
#include "cli/check_command.h"
#include "cli/exit_codes.h"
#include "cli/file_loading.h"
#include "cli/interrupt.h"
#include "core/state.h"
#include "transfer/rom_upload.h"
#include "transfer/verification.h"

namespace ql::cli {
namespace {

constexpr int kJobPollMs = 50;

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

// How the command line names the window's command: "run --realtime", "upload rom", ...
std::string CliName(const Invocation& inv) {
  const char* flag = inv.realTime ? " --realtime" : "";
  switch (inv.command) {
    case Command::Run:
      return std::string("run") + flag;
    case Command::Upload:
      return "upload " + inv.what;
    case Command::Execute:
      return std::string("execute") + flag;
    case Command::CartInfo:
      return "cart-info";
    case Command::Download:
      return "download " + inv.what;
    case Command::Play:
      return "play";
    default:
      return "";
  }
}

int Finish(CliFrontEnd& ui, bool jobFailed) {
  if (Interrupted()) return kExitCancelled;
  return ui.FailureShown() || jobFailed ? kExitFailed : kExitOk;
}

}  // namespace

int MenuCommandFor(const Invocation& inv) {
  const CommandInfo* command = FindCommandByCliName(CliName(inv));
  return command ? command->id : 0;
}

int RunCopierCommand(const Invocation& inv, CliFrontEnd& ui) {
  const CommandInfo* command = FindCommandByCliName(CliName(inv));
  if (command == nullptr) {
    ui.Error("the command was refused");
    return kExitFailed;
  }
  const int id = command->id;
  const std::string label = command->cliName;
  if (inv.command == Command::Run || inv.command == Command::Upload) {
    for (const std::string& path : inv.files) {
      if (!path.empty() && !PathFitsSlot(path)) {
        LoadOneFile(path, ui);  // names the refusal
        return kExitFailed;
      }
    }
    // A file the program would ignore is refused here: the user named it to have it sent.
    if (LoadAsDrop(inv.files, ui) & KindBit(FileKind::None)) {
      ui.Error(fmt::format("{}: nothing was sent", label));
      return kExitFailed;
    }
  }
  if (inv.command == Command::Execute && !inv.files.empty() && !PrepareExecute(inv.files[0], ui)) {
    return kExitFailed;
  }
  if (inv.command == Command::Download) ui.AnswerSaveDialogWith(inv.outFile);

  // The window sends no command whose menu item is grey; neither do we.
  if (!ui.MenuItemEnabled(id)) {
    ui.Error(fmt::format("{}: {}", label, WhyUnavailable(*command)));
    return kExitFailed;
  }
  if (Interrupted()) return kExitCancelled;  // Ctrl+C while the files were loading: start nothing
  VerifyUploads = inv.verify && (inv.command == Command::Run || inv.command == Command::Upload);
  VerifyDownloads = inv.verify && inv.command == Command::Download;
  if (!RunCommand(id)) {
    ui.Error("the command was refused");
    return kExitFailed;
  }
  if (command->job) {
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
    // A whole cartridge dump ends with its health report, so that a bad contact does not pass for a good dump.
    if (inv.what == "rom" && !Interrupted()) ReportDownloadedDump(inv.outFile, ui);
  } else if (command->job && !ui.FailureShown() && !Interrupted()) {
    // The job clears its progress line at the end; leave a word that it went through.
    ui.NoteOnTerminal(fmt::format("{}: done", label));
  }
  return Finish(ui, command->job && LastJobFailed());
}

}  // namespace ql::cli
