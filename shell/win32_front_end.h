// The front end of the Windows program: real controls, menus, message boxes
// and the Save dialog of the main window. Safe to call from the job thread:
// control texts go through the window's own messages, and menu changes are
// carried out by the user-interface thread.
#pragma once

#include <windows.h>

#include "core/front_end.h"

namespace ql {

// Private message: run the std::function<void()>* in lParam on the window's thread.
constexpr UINT kRunOnUiThread = WM_APP + 1;

class Win32FrontEnd final : public FrontEnd {
 public:
  void SetControlText(int controlId, const std::string& text) override;
  void EnableControl(int controlId, bool enabled) override;
  void EnableMenuItem(int commandId, bool enabled) override;
  void CheckMenuItem(int commandId, bool checked) override;
  void EnableTopMenus(bool enabled) override;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void ShowProgress(const std::string& text, std::uint32_t done, std::uint32_t total) override;
  bool AskSaveFileName(SaveFileRequest& request) override;
};

// Handles kRunOnUiThread for the dialog procedure.
void RunPostedUiWork(LPARAM work);

}  // namespace ql
