#include "app/jobs.h"

#include <chrono>
#include <functional>
#include <memory>
#include <system_error>

#include "app/job_handle.h"
#include "core/state.h"
#include "link/port_binding.h"

namespace ql {
namespace {

// The handle of the latest job, owned by the user-interface thread (starter,
// WaitForJob). JobThread points at it while the job runs.
struct LatestJob {
  std::unique_ptr<JobHandle> handle;
  ~LatestJob() {
    // Ending the process with a job still running must not call
    // std::terminate through a joinable thread; the job dies with the process
    // and keeps its handle.
    if (handle && handle->thread.joinable()) {
      std::unique_lock lock(handle->mutex);
      if (handle->finished) {
        lock.unlock();
        handle->thread.join();
      } else {
        lock.unlock();
        handle->thread.detach();
        static_cast<void>(handle.release());
      }
    }
  }
};

LatestJob latest;

// Joins the thread of a job that has set JobThread to null.
void ReleaseEndedJob() {
  if (!latest.handle || JobThread.load() != nullptr) return;
  if (latest.handle->thread.joinable()) latest.handle->thread.join();
  latest.handle.reset();
}

bool StartJob(std::function<void()> procedure) {
  ReleaseEndedJob();
  // One job at a time; a refused start leaves the running job's flags alone.
  if (JobRunning()) return false;
  if (!EnsureLinkReady()) {
    RealTimeMode = false;
    return false;
  }

  auto handle = std::make_unique<JobHandle>();
  JobHandle* job = handle.get();
  try {
    handle->thread = std::thread([job, procedure = std::move(procedure)] {
      job->recorded.wait();
      procedure();
      {
        std::lock_guard lock(job->mutex);
        job->finished = true;
      }
      job->ended.notify_all();
    });
  } catch (const std::system_error&) {
    RealTimeMode = false;
    return false;
  }
  latest.handle = std::move(handle);
  JobThread = job;
  job->recorded.count_down();
  return true;
}

}  // namespace

bool TryStartUploadJob(std::uint8_t steps) {
  return StartJob([steps] { UploadJob(steps); });
}

bool TryStartDownloadJob(std::uint8_t kind) {
  return StartJob([kind] { DownloadJob(kind); });
}

void StartUploadJob(std::uint8_t steps) { static_cast<void>(TryStartUploadJob(steps)); }

void StartDownloadJob(std::uint8_t kind) { static_cast<void>(TryStartDownloadJob(kind)); }

bool JobRunning() { return JobThread.load() != nullptr; }

bool WaitForJob(int timeoutMs) {
  if (!latest.handle) return !JobRunning();
  JobHandle& job = *latest.handle;
  {
    std::unique_lock lock(job.mutex);
    auto finished = [&job] { return job.finished; };
    if (timeoutMs < 0) {
      job.ended.wait(lock, finished);
    } else if (!job.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished)) {
      return false;
    }
  }
  job.thread.join();
  latest.handle.reset();
  return true;
}

void AbandonRunningJob() {
  if (!latest.handle) return;
  if (latest.handle->thread.joinable()) latest.handle->thread.detach();
  // The detached thread may still read its handle; it is never freed.
  static_cast<void>(latest.handle.release());
}

}  // namespace ql
