// A front end that keeps the window's state in memory, as the dialog
// resource starts it: labels grey, value fields empty, the upload items grey.
// The command line reads it to print what the window would show; tests
// assert on it and on the messages, progress texts and save requests it
// recorded. Thread-safe: a job thread writes while another thread reads.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/front_end.h"

namespace ql {

class WindowModel : public FrontEnd {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };
  struct Progress {
    std::string text;
    std::uint32_t done;
    std::uint32_t total;
  };

  WindowModel();

  // FrontEnd
  void SetControlText(int controlId, const std::string& text) override;
  void EnableControl(int controlId, bool enabled) override;
  void EnableMenuItem(int commandId, bool enabled) override;
  void CheckMenuItem(int commandId, bool checked) override;
  void EnableTopMenus(bool enabled) override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override;
  bool AskSaveFileName(SaveFileRequest& request) override;

  // Window state.
  std::string ControlText(int controlId) const;
  bool ControlEnabled(int controlId) const;
  bool MenuItemEnabled(int commandId) const;
  bool MenuItemChecked(int commandId) const;
  bool TopMenusEnabled() const;

  // Recorded events.
  std::vector<Message> Messages() const;
  std::vector<Progress> ProgressHistory() const;
  std::vector<SaveFileRequest> SaveRequests() const;
  void ClearRecords();

  // Answers for the next save dialogs, in order; with none queued the dialog
  // counts as cancelled. filterIndex < 0 keeps the index the caller proposed.
  void QueueSaveAnswer(const std::string& path, int filterIndex = -1);

 private:
  struct SaveAnswer {
    std::string path;
    int filterIndex;
  };

  mutable std::mutex mutex_;
  std::map<int, std::string> texts_;
  std::set<int> disabledControls_;
  std::set<int> greyMenuItems_;
  std::set<int> checkedMenuItems_;
  bool topMenusEnabled_ = true;
  std::vector<Message> messages_;
  std::vector<Progress> progress_;
  std::vector<SaveFileRequest> saveRequests_;
  std::deque<SaveAnswer> saveAnswers_;
};

}  // namespace ql
