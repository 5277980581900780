// The end-to-end tests' Win32 helper, run under Wine beside the program: it
// prints the program's windows as tab-separated lines so the tests check
// texts and states rather than pixels. Menus and text widths are read, and
// files dropped, by window_probe.dll loaded into the program, since Wine
// keeps menus, fonts and drop records private to their process.
//
//   inspect dump                 the main window, its menu and every other window of the program
//   inspect controls             the same without the menu
//   inspect command ID           posts WM_COMMAND ID to the main window
//   inspect close                posts WM_CLOSE to the main window
//   inspect dismiss CAPTION      ends the program's window with that caption (Cancel, or OK)
//   inspect drop PATH...         drops the files (Windows paths) on the main window
//
// Exit status 0, or 3 when the main window does not exist.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main_window.h"

namespace {

using probe::Caption;
using probe::Escaped;

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

// Loads window_probe.dll into the program and prints what it wrote; given
// paths, the probe drops those files on the main window instead.
int RunProbe(HWND main, int count = 0, char** paths = nullptr) {
  const std::string folder = probe::ModuleFolder(nullptr);
  const std::string library = folder + "window_probe.dll";
  const std::string output = folder + "probe.txt";
  DeleteFileA(output.c_str());
  if (count > 0) {
    FILE* list = std::fopen((folder + "drop.txt").c_str(), "wb");
    if (list == nullptr) return 6;
    for (int i = 0; i < count; ++i) std::fprintf(list, "%s\n", paths[i]);
    std::fclose(list);
  }
  HANDLE target = OpenProcess(PROCESS_ALL_ACCESS, FALSE, probe::ProcessOf(main));
  if (target == nullptr) return 5;
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
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (FILE* file = std::fopen(output.c_str(), "rb")) {
      char line[1024];
      while (std::fgets(line, sizeof line, file)) std::fputs(line, stdout);
      std::fclose(file);
      break;
    }
    Sleep(20);
  }
  return 0;
}

void DumpChildren(HWND parent, const char* kind, HWND focus) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const bool isDefault = probe::ClassIs(child, "Button") && (style & 0x0F) == BS_DEFPUSHBUTTON;
    std::printf("%s\t%d\t%d\t%d\t%d\t%s\n", kind, GetDlgCtrlID(child), IsWindowEnabled(child) ? 1 : 0,
                child == focus ? 1 : 0, isDefault ? 1 : 0, Escaped(WindowText(child)).c_str());
  }
}

int Dump(HWND main, bool withMenu) {
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gui);
  std::printf("main\t%d\n", IsWindowEnabled(main) ? 1 : 0);
  DumpChildren(main, "control", gui.hwndFocus);
  if (withMenu) RunProbe(main);
  for (HWND window : OtherWindows(main)) {
    std::printf("window\t%s\n", Escaped(Caption(window)).c_str());
    DumpChildren(window, "child", gui.hwndFocus);
  }
  return 0;
}

int Dismiss(HWND main, const std::string& caption) {
  for (HWND window : OtherWindows(main)) {
    if (Caption(window) != caption) continue;
    // Cancel where there is one (file dialogs); a box with only OK ends on IDOK.
    const bool hasCancel = GetDlgItem(window, IDCANCEL) != nullptr;
    PostMessageA(window, WM_COMMAND, hasCancel ? IDCANCEL : IDOK, 0);
    return 0;
  }
  std::fprintf(stderr, "no window \"%s\"\n", caption.c_str());
  return 4;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc >= 2 ? argv[1] : "";
  HWND main = probe::FindMainWindow();
  if (main == nullptr) {
    std::printf("nowindow\n");
    return 3;
  }
  if (verb == "dump" || verb == "controls") return Dump(main, verb == "dump");
  if (verb == "command" && argc == 3)
    return PostMessageA(main, WM_COMMAND, std::strtoul(argv[2], nullptr, 0), 0) ? 0 : 5;
  if (verb == "close") return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : 5;
  if (verb == "dismiss" && argc == 3) return Dismiss(main, argv[2]);
  if (verb == "drop" && argc >= 3) return RunProbe(main, argc - 2, argv + 2);
  std::fprintf(stderr, "usage: inspect dump | controls | command ID | close | dismiss CAPTION | drop PATH...\n");
  return 2;
}
