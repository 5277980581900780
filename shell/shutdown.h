// Stopping a running job when the program ends.
#pragma once

namespace ql {

// Sets CancelRequested and gives the job up to timeoutMs to end, serving its
// window updates meanwhile; a job still running then is terminated.
void StopJobForExit(unsigned timeoutMs);

}  // namespace ql
