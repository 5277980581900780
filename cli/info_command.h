// `info FILE...`: what the window shows after the files were dropped on it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "cli/cli_front_end.h"

namespace ql::cli {

// The enabled labels of the window, top to bottom, with their label text
// (without the colon) and the value field's text.
std::vector<std::pair<std::string, std::string>> VisibleFields(const WindowModel& window);

// A value for a terminal: control bytes are written as \xNN so that a header
// name cannot move the cursor or change the terminal; other bytes as they are.
std::string TerminalText(const std::string& bytes);

int RunInfo(const Invocation& inv, CliFrontEnd& ui);

}  // namespace ql::cli
