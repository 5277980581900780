// Upload and download jobs on one job thread.
#pragma once

#include <cstdint>

namespace ql {

// Start a job unless one runs already. When the link cannot be made ready no
// job starts, the window is left as it was and a RealTimeMode that the
// calling command set for the job is cleared again.
void StartUploadJob(std::uint8_t steps);
void StartDownloadJob(std::uint8_t kind);
// The same, telling whether the job was started.
bool TryStartUploadJob(std::uint8_t steps);
bool TryStartDownloadJob(std::uint8_t kind);

// The thread procedures.
void UploadJob(std::uint8_t steps);
void DownloadJob(std::uint8_t kind);

bool JobRunning();

// Whether the job that ended last failed: one of its steps failed (a cancel
// is not a failure) or something no step expected ended it. Every failure
// has shown its message by then.
bool LastJobFailed();

// The text of an unexpected failure in a job, before what is known of it
// (caption: the caption of the step that was running, stop icon).
inline constexpr const char* kInternalErrorPrefix = "Internal error: ";
// Waits up to timeoutMs (negative: forever) for the running job; true when none runs.
// A job that has ended is joined here (or by the next start).
bool WaitForJob(int timeoutMs);

// Shutdown only, after WaitForJob gave up: lets go of a job that did not
// stop so that the process can end without waiting for it. The job's thread
// ends with the process.
void AbandonRunningJob();

}  // namespace ql
