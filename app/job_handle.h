// The one running job as JobThread points at it.
#pragma once

#include <condition_variable>
#include <latch>
#include <mutex>
#include <thread>

namespace ql {

struct JobHandle {
  std::thread thread;
  // The starter records JobThread before it lets the job run, so the job's
  // final JobThread = nullptr can never be overwritten by that store.
  std::latch recorded{1};
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;  // under mutex: the thread procedure has returned
};

}  // namespace ql
