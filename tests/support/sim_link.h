// Test fixture: fresh shared state, a virtual clock, a WindowModel as the
// front end, and an emulated copier installed as the port library, so that
// EnsureLinkReady binds to it exactly as it would bind to io.dll.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/window_model.h"
#include "emulator/copier.h"

namespace ql::testing {

class SimLink {
 public:
  // What a cable does to the status register's value on its way to the PC.
  using StatusLines = std::function<std::uint8_t(std::uint8_t)>;

  explicit SimLink(const emu::Options& options = {});
  ~SimLink();
  SimLink(const SimLink&) = delete;
  SimLink& operator=(const SimLink&) = delete;

  emu::Copier& copier() { return *copier_; }
  WindowModel& window() { return window_; }
  VirtualClock& clock() { return clock_; }
  // A faulty cable between the copier and the ports bound from now on.
  void SetStatusLines(StatusLines cable) { cable_ = std::move(cable); }

 private:
  VirtualClock clock_;
  WindowModel window_;
  std::unique_ptr<emu::Copier> copier_;
  StatusLines cable_;
};

}  // namespace ql::testing
