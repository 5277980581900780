#include <windows.h>

#include "cli/terminal.h"

namespace ql::cli {
namespace {

// A console answers GetConsoleMode; a file, a pipe or NUL does not (the
// C runtime's isatty takes NUL for a terminal).
bool IsConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

}  // namespace

bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }
bool StandardInputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

}  // namespace ql::cli
