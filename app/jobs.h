// Upload and download jobs on one job thread.
#pragma once

#include <cstdint>

namespace ql {

void StartUploadJob(std::uint8_t steps);
void StartDownloadJob(std::uint8_t kind);
// The thread procedures.
void UploadJob(std::uint8_t steps);
void DownloadJob(std::uint8_t kind);

bool JobRunning();
// Waits up to timeoutMs (negative: forever) for the running job; true when none runs.
bool WaitForJob(int timeoutMs);

}  // namespace ql
