#include <windows.h>

#include <atomic>
#include <mutex>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "core/state.h"

namespace ql::cli {
namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> cancelsJobs{false};
// Held while a temporary file exists; the console handler runs on a thread
// of its own and waits here before it ends the process.
std::mutex fileWindow;

BOOL WINAPI OnConsoleControl(DWORD event) {
  const bool ctrlC = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  if (ctrlC && cancelsJobs.load() && !interrupted.exchange(true)) {
    CancelRequested.store(true);
    return TRUE;
  }
  std::lock_guard<std::mutex> wait(fileWindow);
  if (!ctrlC) return FALSE;  // closing the console: the system's default, now that no temporary file is left
  // The second Ctrl+C ends the process at once, as the default would, with the status of a cancel.
  ExitProcess(kExitCancelled);
}

void RegisterHandler() {
  static const bool registered = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
  (void)registered;
}

}  // namespace

void InstallInterruptHandler() {
  cancelsJobs.store(true);
  RegisterHandler();
}

bool Interrupted() { return interrupted.load(); }

struct InterruptsHeld::Saved {};

InterruptsHeld::InterruptsHeld() {
  RegisterHandler();
  fileWindow.lock();
}

InterruptsHeld::~InterruptsHeld() { fileWindow.unlock(); }

}  // namespace ql::cli
