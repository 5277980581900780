// The commands that talk to the copier, mapped onto the window's menu
// commands: run, upload, execute, play, cart-info, download.
#pragma once

#include "cli/arguments.h"
#include "cli/cli_front_end.h"

namespace ql::cli {

int RunCopierCommand(const Invocation& inv, CliFrontEnd& ui);

// The menu command of each subcommand (0 for none).
int MenuCommandFor(const Invocation& inv);

}  // namespace ql::cli
