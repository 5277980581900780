// A front end that records into a WindowModel and can hold the job thread at
// a chosen progress text, so a test can act while a job is known to run.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "core/front_end.h"
#include "core/window_model.h"

namespace ql::testing {

class GatedWindow final : public FrontEnd {
 public:
  explicit GatedWindow(WindowModel& window) : window_(window) {}

  // The first progress text for which stopAt returns true holds the caller
  // until Release(); WaitUntilHeld() returns once it is held.
  void HoldAtProgress(std::function<bool(const std::string&)> stopAt);
  void WaitUntilHeld();
  void Release();

  void SetControlText(int controlId, const std::string& text) override { window_.SetControlText(controlId, text); }
  void EnableControl(int controlId, bool enabled) override { window_.EnableControl(controlId, enabled); }
  void EnableMenuItem(int commandId, bool enabled) override { window_.EnableMenuItem(commandId, enabled); }
  void CheckMenuItem(int commandId, bool checked) override { window_.CheckMenuItem(commandId, checked); }
  void EnableTopMenus(bool enabled) override { window_.EnableTopMenus(enabled); }
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    window_.ShowMessage(text, caption, icon);
  }
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override;
  bool AskSaveFileName(SaveFileRequest& request) override { return window_.AskSaveFileName(request); }

 private:
  WindowModel& window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<bool(const std::string&)> stopAt_;
  bool held_ = false;
  bool released_ = false;
};

}  // namespace ql::testing
