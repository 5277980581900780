// The entry point of Quillon.exe: start values and settings, the main
// window, the message loop, and the shutdown steps.
#include <windows.h>
// The common controls headers need windows.h first.
#include <commctrl.h>

#include "app/commands.h"
#include "core/front_end.h"
#include "core/state.h"
#include "link/port_binding.h"
#include "link/ports/windows_io_library.h"
#include "resources/resource_ids.h"
#include "shell/bridge_loader.h"
#include "shell/main_dialog.h"
#include "shell/settings.h"
#include "shell/shell_state.h"
#include "shell/shutdown.h"
#include "shell/win32_front_end.h"

namespace {

constexpr unsigned kJobStopWaitMs = 1000;

// Returns 0 when the loop ended normally, -1 when a message could not be retrieved.
int RunMessageLoop(HACCEL accelerators) {
  MSG message;
  for (;;) {
    const BOOL result = GetMessageA(&message, nullptr, 0, 0);
    if (result == 0) return 0;
    if (ql::QuitRequested) return 0;  // the message that woke us is not handled
    if (result == -1) return -1;
    if (TranslateAcceleratorA(ql::MainWindow, accelerators, &message)) continue;
    if (IsDialogMessageA(ql::MainWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ql;

  ResetSharedState();
  ReadSettings();
  InitDialogParams();
  UiThreadId = GetCurrentThreadId();

  static Win32FrontEnd frontEnd;
  SetFrontEnd(&frontEnd);
  SetOpenFilesHandler(OpenFilesCommand);
  // io.dll (or the inpout fall-back) from the program's or the system folder, on first use.
  SetPortLibraryLoader(WindowsPortLibraryLoader());
  SetBridgeLoader(WindowsBridgeLoader());

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  MainWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  OpenFileParams.hwndOwner = MainWindow;
  SaveFileParams.hwndOwner = MainWindow;
  QuitRequested = false;

  if (RunMessageLoop(accelerators) == -1) return -1;

  StopJobForExit(kJobStopWaitMs);
  ShutdownPortDriver();
  DestroyWindow(MainWindow);
  MainWindow = nullptr;
  WriteSettings();
  return 0;
}
