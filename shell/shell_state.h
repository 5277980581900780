// The Windows program's own process-wide state: the window, its four popup
// menus, the work buffer for one path and the two common-dialog records.
#pragma once

#include <windows.h>
// The common dialog headers need windows.h first.
#include <commdlg.h>

#include "shell/open_dialog_text.h"

namespace ql {

inline HWND MainWindow = nullptr;
inline HMENU FileMenu = nullptr;
inline HMENU PlayMenu = nullptr;
inline HMENU UploadMenu = nullptr;
inline HMENU DownloadMenu = nullptr;
inline DWORD UiThreadId = 0;

inline char FileNameBuffer[512] = {};
inline char CustomFilterBuffer[kCustomFilterSize] = {};
// The dialogs read their start folder from here; LastDirectory is copied in before each use.
inline char InitialDirectoryBuffer[256] = {};

inline OPENFILENAMEA OpenFileParams = {};
inline OPENFILENAMEA SaveFileParams = {};

// Start values of the buffers and both dialog records (owner set later).
void InitDialogParams();

}  // namespace ql
