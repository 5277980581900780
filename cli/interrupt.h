// Ctrl+C: the first one asks the running job to stop between blocks, as the
// Cancel button does; a second one ends the process at once.
#pragma once

#include <memory>

namespace ql::cli {

void InstallInterruptHandler();
bool Interrupted();

// Holds Ctrl+C back while a temporary file exists, so an interrupt ends the
// process only after the file was renamed into place or removed.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  struct Saved;  // what the system needs to let Ctrl+C through again
  std::unique_ptr<Saved> saved_;
};

}  // namespace ql::cli
