#include "shell/win32_front_end.h"

#include <commdlg.h>

#include <cstring>
#include <functional>

#include "resources/resource_ids.h"
#include "shell/open_dialog_text.h"
#include "shell/shell_state.h"

namespace ql {
namespace {

// Menus are not window messages: from the job thread, hand the change to the
// user-interface thread and wait for it, so both threads never edit the menu bar at once.
void OnUiThread(const std::function<void()>& work) {
  if (MainWindow == nullptr) return;
  if (GetCurrentThreadId() == UiThreadId) {
    work();
    return;
  }
  SendMessageA(MainWindow, kRunOnUiThread, 0, reinterpret_cast<LPARAM>(&work));
}

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop:
      return MB_ICONSTOP;
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::None:
      break;
  }
  return 0;
}

}  // namespace

void RunPostedUiWork(LPARAM work) { (*reinterpret_cast<const std::function<void()>*>(work))(); }

void Win32FrontEnd::SetControlText(int controlId, const std::string& text) {
  if (MainWindow != nullptr) SetDlgItemTextA(MainWindow, controlId, text.c_str());
}

void Win32FrontEnd::EnableControl(int controlId, bool enabled) {
  if (MainWindow != nullptr) EnableWindow(GetDlgItem(MainWindow, controlId), enabled ? TRUE : FALSE);
}

void Win32FrontEnd::EnableMenuItem(int commandId, bool enabled) {
  OnUiThread(
      [&] { ::EnableMenuItem(GetMenu(MainWindow), commandId, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)); });
}

void Win32FrontEnd::CheckMenuItem(int commandId, bool checked) {
  OnUiThread(
      [&] { ::CheckMenuItem(GetMenu(MainWindow), commandId, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED)); });
}

void Win32FrontEnd::EnableTopMenus(bool enabled) {
  OnUiThread([&] {
    HMENU bar = GetMenu(MainWindow);
    for (UINT position = 0; position < 4; ++position)
      ::EnableMenuItem(bar, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(MainWindow);
  });
}

void Win32FrontEnd::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  MessageBoxA(MainWindow, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

void Win32FrontEnd::ShowProgress(const std::string& text, std::uint32_t, std::uint32_t) {
  SetControlText(IDC_PROGRESS, text);
}

bool Win32FrontEnd::AskSaveFileName(SaveFileRequest& request) {
  const std::string filterList = FilterListBuffer(request.filters);
  std::memset(FileNameBuffer, 0, sizeof FileNameBuffer);
  std::strncpy(FileNameBuffer, request.fileName.c_str(), sizeof FileNameBuffer - 1);

  SaveFileParams.hwndOwner = MainWindow;
  SaveFileParams.lpstrFilter = filterList.c_str();
  SaveFileParams.nFilterIndex = request.filterIndex > 0 ? static_cast<DWORD>(request.filterIndex) : 0;
  SaveFileParams.lpstrInitialDir = request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
  SaveFileParams.lpstrDefExt = request.defaultExtension ? request.defaultExtension->c_str() : nullptr;

  const bool chosen = GetSaveFileNameA(&SaveFileParams) != FALSE;
  SaveFileParams.lpstrFilter = nullptr;  // the strings above die with this call
  SaveFileParams.lpstrInitialDir = nullptr;
  SaveFileParams.lpstrDefExt = nullptr;
  if (!chosen) return false;
  request.filterIndex = static_cast<int>(SaveFileParams.nFilterIndex);
  request.fileName = FileNameBuffer;
  return true;
}

}  // namespace ql
