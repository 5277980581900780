// quillon: the command-line front end over the portable core.
#include <fmt/format.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/window_state.h"
#include "cli/arguments.h"
#include "cli/check_command.h"
#include "cli/cli_front_end.h"
#include "cli/copier_commands.h"
#include "cli/exit_codes.h"
#include "cli/file_io.h"
#include "cli/info_command.h"
#include "cli/interrupt.h"
#include "cli/offline_commands.h"
#include "cli/port_selection.h"
#include "cli/probe_command.h"
#include "cli/terminal.h"
#include "cli/trace_output.h"
#include "core/state.h"
#include "core/types.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"

namespace {

using namespace ql;
using namespace ql::cli;

ProgressLine::Mode ProgressMode(const Invocation& inv) {
  if (inv.quiet) return ProgressLine::Mode::Off;
  if (StandardErrorIsTerminal()) return ProgressLine::Mode::Redraw;
  return inv.progress ? ProgressLine::Mode::Lines : ProgressLine::Mode::Off;
}

bool TalksToCopier(Command command) {
  return command != Command::Info && command != Command::Patch && command != Command::Convert &&
         command != Command::Check;
}

// The window as it starts: no device chosen yet, then the chosen one, as
// the dialog's initialisation does.
void InitialiseWindow(const Invocation& inv) {
  SelectedDevice = inv.device == "smd" ? kDeviceSmd : kDeviceSwc;
  InitialiseWindowState();
}

int Dispatch(const Invocation& inv, const PortChoice& port, CliFrontEnd& ui) {
  switch (inv.command) {
    case Command::Info:
      return RunInfo(inv, ui);
    case Command::Patch:
      return RunPatch(inv, ui);
    case Command::Convert:
      return RunConvert(inv, ui);
    case Command::Probe:
      return RunProbe(port, ui, inv.thorough, inv.yes);
    case Command::Check:
      return RunCheck(inv, ui);
    default:
      return RunCopierCommand(inv, ui);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ParseResult parsed = ParseArguments(argc, argv);
  if (!parsed.invocation) return parsed.exitCode;
  const Invocation& inv = *parsed.invocation;

  ProgressLine progress(stderr, ProgressMode(inv));
  CliFrontEnd ui(progress);
  SetFrontEnd(&ui);

  PortChoice port;
  std::string error;
  if (!ParsePortChoice(inv.port, inv.device, port, error)) {
    ui.Error(error);
    SetFrontEnd(nullptr);
    return kExitUsage;
  }
  std::vector<std::string> named = inv.files;
  if (!inv.outFile.empty()) named.push_back(inv.outFile);
  if (std::string clash = TraceClash(inv.traceFile, named); !clash.empty()) {
    ui.Error(fmt::format("{}: the trace would overwrite {}, a file of the command (--trace)", inv.traceFile, clash));
    SetFrontEnd(nullptr);
    return kExitUsage;
  }
  // Opened when the link is bound: after the loads, before the first byte.
  TraceOutput trace(inv.traceFile);
  InstallPortLoader(port, [&trace](std::string& failure) { return trace.Open(failure); });
  InitialiseWindow(inv);
  if (TalksToCopier(inv.command)) InstallInterruptHandler();

  int code = kExitFailed;
  try {
    const FifoReaderWait reader(inv.command == Command::Download ? inv.outFile : std::string());
    code = Dispatch(inv, port, ui);
  } catch (const LinkTimeout&) {
    // Every copier operation catches its own; this one escaped a path that did not.
    ui.Error("the copier stopped answering");
  } catch (const std::exception& e) {
    ui.Error(std::string("internal error: ") + e.what());
  }

  // Parks the port and releases the back end (the emulator saves its state folder here).
  ShutdownPortDriver();
  if (!trace.Finish(error)) {
    ui.Error(error);
    code = kExitFailed;
  }
  if (!ui.CheckStandardOutput()) code = kExitFailed;
  SetFrontEnd(nullptr);
  if (Interrupted()) return kExitCancelled;
  return code;
}
