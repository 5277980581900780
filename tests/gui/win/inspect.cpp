// The end-to-end tests' Win32 helper, run under Wine beside the program: it
// prints the program's windows as tab-separated lines (dump), posts a
// command or WM_CLOSE to the main window, or ends the program's window with
// a caption (Cancel, or OK). The menu and the text widths are read, and the
// files listed in drop.txt dropped, by window_probe.dll loaded into the
// program, since Wine keeps menus, fonts and drop records private to their
// process. Exit status 0, or 3 when the main window does not exist.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main_window.h"

namespace {

std::string WindowText(HWND window) {
  char text[2048] = {};
  // WM_GETTEXT rather than GetWindowText: the control belongs to another process.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, nullptr);
  return text;
}

// The program's other visible top-level windows: message boxes, file dialogs.
std::vector<HWND> OtherWindows(HWND main) {
  std::vector<HWND> windows;
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if (window != main && probe::ProcessOf(window) == probe::ProcessOf(main) && IsWindowVisible(window))
      windows.push_back(window);
  }
  return windows;
}

// Loads window_probe.dll into the program; it has written its answer by the
// time the load returns.
void RunProbe(HWND main) {
  const std::string folder = probe::ModuleFolder(nullptr);
  const std::string library = folder + "window_probe.dll";
  const std::string output = folder + "probe.txt";
  DeleteFileA(output.c_str());
  HANDLE target = OpenProcess(PROCESS_ALL_ACCESS, FALSE, probe::ProcessOf(main));
  if (target == nullptr) return;
  void* remotePath = VirtualAllocEx(target, nullptr, library.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remotePath != nullptr && WriteProcessMemory(target, remotePath, library.c_str(), library.size() + 1, nullptr)) {
    // kernel32 sits at the same address in every process.
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    if (HANDLE thread = CreateRemoteThread(target, nullptr, 0, loadLibrary, remotePath, 0, nullptr)) {
      WaitForSingleObject(thread, 5000);
      CloseHandle(thread);
    }
  }
  CloseHandle(target);
  if (FILE* file = std::fopen(output.c_str(), "rb")) {
    char line[1024];
    while (std::fgets(line, sizeof line, file)) std::fputs(line, stdout);
    std::fclose(file);
  }
}

void DumpChildren(HWND parent, const char* kind) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    std::printf("%s\t%d\t%d\t%s\n", kind, GetDlgCtrlID(child), IsWindowEnabled(child) ? 1 : 0,
                probe::Escaped(WindowText(child)).c_str());
  }
}

void Dump(HWND main) {
  DumpChildren(main, "control");
  RunProbe(main);
  for (HWND window : OtherWindows(main)) {
    std::printf("window\t%s\n", probe::Escaped(probe::Caption(window)).c_str());
    DumpChildren(window, "child");
  }
}

int Dismiss(HWND main, const std::string& caption) {
  for (HWND window : OtherWindows(main)) {
    // Cancel where there is one (file dialogs); a box with only OK ends on IDOK.
    if (probe::Caption(window) == caption)
      return PostMessageA(window, WM_COMMAND, GetDlgItem(window, IDCANCEL) != nullptr ? IDCANCEL : IDOK, 0) ? 0 : 5;
  }
  return 4;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc >= 2 ? argv[1] : "";
  HWND main = probe::FindMainWindow();
  if (main == nullptr) return 3;
  if (verb == "dump") {
    Dump(main);
    return 0;
  }
  if (verb == "command" && argc == 3)
    return PostMessageA(main, WM_COMMAND, std::strtoul(argv[2], nullptr, 0), 0) ? 0 : 5;
  if (verb == "close") return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 5;
  if (verb == "dismiss" && argc == 3) return Dismiss(main, argv[2]);
  std::fprintf(stderr, "usage: inspect dump | command ID | close | dismiss CAPTION\n");
  return 2;
}
