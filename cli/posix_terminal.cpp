#include <unistd.h>

#include "cli/terminal.h"

namespace ql::cli {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }
bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

}  // namespace ql::cli
