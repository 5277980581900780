#include "shell/shutdown.h"

#include <windows.h>
// winpthreads: the Win32 handle of a std::thread.
#include <pthread.h>

#include <algorithm>

#include "app/job_handle.h"
#include "app/jobs.h"
#include "core/state.h"

namespace ql {
namespace {

// True when the job ended within the time. The job's control and menu
// changes are carried out by this thread, so they are served while waiting:
// a job that notices the cancel at its next block can then end by itself.
bool WaitServingSentMessages(unsigned timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!WaitForJob(0)) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                              QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return true;
}

}  // namespace

void StopJobForExit(unsigned timeoutMs) {
  JobHandle* job = JobThread.load();
  if (job == nullptr) return;
  CancelRequested = true;
  if (WaitServingSentMessages(timeoutMs)) return;

  // The job did not stop: it must not touch the port once the driver is shut down.
  if (HANDLE thread = static_cast<HANDLE>(pthread_gethandle(job->thread.native_handle()))) TerminateThread(thread, 0);
  AbandonRunningJob();
}

}  // namespace ql
