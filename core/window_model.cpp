#include "core/window_model.h"

#include "resources/resource_ids.h"

namespace ql {

WindowModel::WindowModel() {
  for (int id = IDC_LABEL_ROM_FILE; id <= IDC_LABEL_PATCH_FILE; ++id) disabledControls_.insert(id);
  texts_[IDC_PLAY] = "&Play";
  for (int id : {IDM_UPLOAD_AND_RUN, IDM_UPLOAD_AND_RUN_REALTIME, IDM_UPLOAD_ROM, IDM_UPLOAD_ROM_IPS, IDM_UPLOAD_SRAM,
                 IDM_UPLOAD_REALTIME}) {
    greyMenuItems_.insert(id);
  }
}

void WindowModel::SetControlText(int controlId, const std::string& text) {
  std::lock_guard lock(mutex_);
  texts_[controlId] = text;
}

void WindowModel::EnableControl(int controlId, bool enabled) {
  std::lock_guard lock(mutex_);
  if (enabled) {
    disabledControls_.erase(controlId);
  } else {
    disabledControls_.insert(controlId);
  }
}

void WindowModel::EnableMenuItem(int commandId, bool enabled) {
  std::lock_guard lock(mutex_);
  if (enabled) {
    greyMenuItems_.erase(commandId);
  } else {
    greyMenuItems_.insert(commandId);
  }
}

void WindowModel::CheckMenuItem(int commandId, bool checked) {
  std::lock_guard lock(mutex_);
  if (checked) {
    checkedMenuItems_.insert(commandId);
  } else {
    checkedMenuItems_.erase(commandId);
  }
}

void WindowModel::EnableTopMenus(bool enabled) {
  std::lock_guard lock(mutex_);
  topMenusEnabled_ = enabled;
}

void WindowModel::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  std::lock_guard lock(mutex_);
  messages_.push_back({text, caption, icon});
}

void WindowModel::ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) {
  std::lock_guard lock(mutex_);
  texts_[IDC_PROGRESS] = text;
  progress_.push_back({text, done, total});
}

bool WindowModel::AskSaveFileName(SaveFileRequest& request) {
  std::lock_guard lock(mutex_);
  saveRequests_.push_back(request);
  if (saveAnswers_.empty()) return false;
  SaveAnswer answer = saveAnswers_.front();
  saveAnswers_.pop_front();
  request.fileName = answer.path;
  if (answer.filterIndex >= 0) request.filterIndex = answer.filterIndex;
  return true;
}

std::string WindowModel::ControlText(int controlId) const {
  std::lock_guard lock(mutex_);
  auto it = texts_.find(controlId);
  return it == texts_.end() ? std::string() : it->second;
}

bool WindowModel::ControlEnabled(int controlId) const {
  std::lock_guard lock(mutex_);
  return disabledControls_.count(controlId) == 0;
}

bool WindowModel::MenuItemEnabled(int commandId) const {
  std::lock_guard lock(mutex_);
  return greyMenuItems_.count(commandId) == 0;
}

bool WindowModel::MenuItemChecked(int commandId) const {
  std::lock_guard lock(mutex_);
  return checkedMenuItems_.count(commandId) != 0;
}

bool WindowModel::TopMenusEnabled() const {
  std::lock_guard lock(mutex_);
  return topMenusEnabled_;
}

std::vector<WindowModel::Message> WindowModel::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<WindowModel::Progress> WindowModel::ProgressHistory() const {
  std::lock_guard lock(mutex_);
  return progress_;
}

std::vector<SaveFileRequest> WindowModel::SaveRequests() const {
  std::lock_guard lock(mutex_);
  return saveRequests_;
}

void WindowModel::ClearRecords() {
  std::lock_guard lock(mutex_);
  messages_.clear();
  progress_.clear();
  saveRequests_.clear();
}

void WindowModel::QueueSaveAnswer(const std::string& path, int filterIndex) {
  std::lock_guard lock(mutex_);
  saveAnswers_.push_back({path, filterIndex});
}

}  // namespace ql
