// The commands that work on files only: `patch` and `convert`.
#pragma once

#include "cli/arguments.h"
#include "cli/cli_front_end.h"

namespace ql::cli {

int RunPatch(const Invocation& inv, CliFrontEnd& ui);
int RunConvert(const Invocation& inv, CliFrontEnd& ui);

}  // namespace ql::cli
