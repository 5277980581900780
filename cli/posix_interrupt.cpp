#include <signal.h>

#include <atomic>

#include "cli/interrupt.h"
#include "core/state.h"

namespace ql::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only store lock-free atomics");

extern "C" void OnInterrupt(int) {
  // Only lock-free atomic stores here: nothing else is safe in a signal handler.
  CancelRequested.store(true);
  interrupted.store(true);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // The handler runs once; the next Ctrl+C has the default effect and ends the process.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return interrupted.load(); }

struct InterruptsHeld::Saved {
  sigset_t previous;
};

InterruptsHeld::InterruptsHeld() : saved_(std::make_unique<Saved>()) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, &saved_->previous);
}

InterruptsHeld::~InterruptsHeld() { sigprocmask(SIG_SETMASK, &saved_->previous, nullptr); }

}  // namespace ql::cli
