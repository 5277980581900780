// Ctrl+C: the first one asks the running job to stop between blocks, as the
// Cancel button does; a second one ends the process at once.
#pragma once

namespace ql::cli {

void InstallInterruptHandler();
bool Interrupted();

}  // namespace ql::cli
