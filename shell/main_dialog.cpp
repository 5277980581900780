#include "shell/main_dialog.h"

#include <string>
#include <vector>

#include "app/commands.h"
#include "app/file_batch.h"
#include "app/window_state.h"
#include "core/state.h"
#include "core/types.h"
#include "resources/resource_ids.h"
#include "shell/port_menu.h"
#include "shell/shell_state.h"
#include "shell/win32_front_end.h"

namespace ql {
namespace {

void OnInitDialog(HWND hwnd) {
  // The front end needs the window before CreateDialog returns it.
  MainWindow = hwnd;
  HMENU bar = GetMenu(hwnd);
  FileMenu = GetSubMenu(bar, 0);
  PlayMenu = GetSubMenu(bar, 1);
  UploadMenu = GetSubMenu(bar, 2);
  DownloadMenu = GetSubMenu(bar, 3);

  // The full device set-up for SelectedDevice, then the port check mark.
  ShowOtherAddressInMenu();
  InitialiseWindowState();
}

void OnCommand(WPARAM wParam) {
  const unsigned notification = HIWORD(wParam);
  if (notification > 1) return;  // e.g. the button's double-click notification
  // Refused while a job runs, except the button (cancel), About and Exit.
  if (!RunPortMenuCommand(LOWORD(wParam))) RunCommand(LOWORD(wParam));
  WakeMessageLoopIfQuitting();
}

}  // namespace

void WakeMessageLoopIfQuitting() {
  if (QuitRequested && MainWindow != nullptr) PostMessageA(MainWindow, WM_NULL, 0, 0);
}

void OnDropFiles(HDROP drop) {
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> paths;
  for (UINT i = 0; i < count; ++i) {
    // Not FileNameBuffer: a download job's save dialog may be using it now,
    // and a drop during a job is refused only after the names are read.
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::vector<char> path(static_cast<std::size_t>(length) + 1, '\0');
    if (length == 0 || DragQueryFileA(drop, i, path.data(), length + 1) != length) continue;
    // A path that does not fit a slot is not cut short: a shortened name
    // could name another file.
    if (PathFitsSlot(std::string_view(path.data(), length))) paths.emplace_back(path.data(), length);
  }
  DragFinish(drop);
  LoadFileBatch(paths);
}

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(hwnd);
      return TRUE;
    case WM_CLOSE:
      QuitRequested = true;
      WakeMessageLoopIfQuitting();
      return TRUE;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_COMMAND:
      OnCommand(wParam);
      return FALSE;
    case kRunOnUiThread:
      RunPostedUiWork(lParam);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace ql
