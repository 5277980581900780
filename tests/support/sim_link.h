// Test fixture: fresh shared state, a virtual clock, a WindowModel as the
// front end, and an emulated copier installed as the port library, so that
// EnsureLinkReady binds to it exactly as it would bind to io.dll.
#pragma once

#include <memory>

#include "core/clock.h"
#include "core/window_model.h"
#include "emulator/copier.h"

namespace ql::testing {

class SimLink {
 public:
  explicit SimLink(const emu::Options& options = {});
  ~SimLink();
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;

  emu::Copier& copier() { return *copier_; }
  WindowModel& window() { return window_; }
  VirtualClock& clock() { return clock_; }
  // How often the port library was "loaded" (InitPortDriver's first step).
  int LoadCount() const { return loads_; }
  // Makes the next loads fail like a missing library.
  void SetLibraryMissing(bool missing) { libraryMissing_ = missing; }

 private:
  VirtualClock clock_;
  WindowModel window_;
  std::unique_ptr<emu::Copier> copier_;
  int loads_ = 0;
  bool libraryMissing_ = false;
};

}  // namespace ql::testing
