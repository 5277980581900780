#include "tests/app/gated_window.h"

#include <utility>

namespace ql::testing {

void GatedWindow::HoldAtProgress(std::function<bool(const std::string&)> stopAt) {
  std::lock_guard lock(mutex_);
  stopAt_ = std::move(stopAt);
  held_ = false;
  released_ = false;
}

void GatedWindow::WaitUntilHeld() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return held_; });
}

void GatedWindow::Release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

void GatedWindow::ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) {
  window_.ShowProgress(text, done, total);
  std::unique_lock lock(mutex_);
  if (!stopAt_ || held_ || !stopAt_(text)) return;
  held_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return released_; });
}

}  // namespace ql::testing
