// A small Win32 helper for the end-to-end tests: run under Wine beside the
// program, it reads the main window's controls and menus (and any other
// window the program shows) and prints them as tab-separated lines, so the
// tests check texts and states rather than pixels. It can also post a
// command or a close request. Menus and text widths are read, and files
// dropped, by window_probe.dll (beside this helper) loaded into the
// program, since Wine keeps menus, fonts and drop records private to their
// process.
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
#include <cstring>
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

std::string ClassOf(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct ProcessSearch {
  DWORD process;
  HWND main;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ProcessSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && window != search->main && IsWindowVisible(window))
    search->windows.push_back(window);
  return TRUE;
}

// The program's other visible top-level windows: message boxes, file dialogs.
std::vector<HWND> ProcessWindows(HWND main) {
  ProcessSearch search{0, main, {}};
  GetWindowThreadProcessId(main, &search.process);
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

// Loads window_probe.dll into the program and prints what it wrote.
void RunProbe(DWORD process) {
  const std::string folder = probe::ModuleFolder(nullptr);
  const std::string library = folder + "window_probe.dll";
  const std::string output = folder + "probe.txt";
  DeleteFileA(output.c_str());

  HANDLE target = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process);
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
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (FILE* file = std::fopen(output.c_str(), "rb")) {
      char line[1024];
      while (std::fgets(line, sizeof line, file)) std::fputs(line, stdout);
      std::fclose(file);
      break;
    }
    Sleep(20);
  }
  CloseHandle(target);
}

void DumpChildren(HWND parent, const char* kind, HWND focus) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const bool isDefault = ClassOf(child) == "Button" && (style & 0x0F) == BS_DEFPUSHBUTTON;
    std::printf("%s\t%d\t%s\t%d\t%d\t%d\t%s\n", kind, GetDlgCtrlID(child), ClassOf(child).c_str(),
                IsWindowEnabled(child) ? 1 : 0, child == focus ? 1 : 0, isDefault ? 1 : 0,
                Escaped(WindowText(child)).c_str());
  }
}

int Dump(HWND main, bool withMenu) {
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(main, &process);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(thread, &gui);
  std::printf("main\t%d\t%d\t%s\n", IsWindowEnabled(main) ? 1 : 0, IsWindowVisible(main) ? 1 : 0,
              Escaped(Caption(main)).c_str());
  DumpChildren(main, "control", gui.hwndFocus);
  if (withMenu) RunProbe(process);
  for (HWND window : ProcessWindows(main)) {
    std::printf("window\t%s\t%s\n", ClassOf(window).c_str(), Escaped(Caption(window)).c_str());
    DumpChildren(window, "child", gui.hwndFocus);
  }
  return 0;
}

int Dismiss(HWND main, const std::string& caption) {
  for (HWND window : ProcessWindows(main)) {
    if (Caption(window) != caption) continue;
    // Cancel where there is one (file dialogs); a box with only OK ends on IDOK.
    const bool hasCancel = GetDlgItem(window, IDCANCEL) != nullptr;
    PostMessageA(window, WM_COMMAND, hasCancel ? IDCANCEL : IDOK, 0);
    return 0;
  }
  std::fprintf(stderr, "no window \"%s\"\n", caption.c_str());
  return 4;
}

int Drop(HWND main, int count, char** paths) {
  const std::string list = probe::ModuleFolder(nullptr) + "drop.txt";
  FILE* file = std::fopen(list.c_str(), "wb");
  if (file == nullptr) return 6;
  for (int i = 0; i < count; ++i) std::fprintf(file, "%s\n", paths[i]);
  std::fclose(file);
  DWORD process = 0;
  GetWindowThreadProcessId(main, &process);
  RunProbe(process);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inspect dump | controls | command ID | close | dismiss CAPTION | drop PATH...\n");
    return 2;
  }
  const std::string verb = argv[1];
  HWND main = probe::FindMainWindow();
  if (main == nullptr) {
    std::printf("nowindow\n");
    return 3;
  }
  if (verb == "dump") return Dump(main, true);
  if (verb == "controls") return Dump(main, false);
  if (verb == "command" && argc == 3) {
    PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(std::strtoul(argv[2], nullptr, 0)), 0);
    return 0;
  }
  if (verb == "close") {
    PostMessageA(main, WM_CLOSE, 0, 0);
    return 0;
  }
  if (verb == "dismiss" && argc == 3) return Dismiss(main, argv[2]);
  if (verb == "drop" && argc >= 3) return Drop(main, argc - 2, argv + 2);
  return 2;
}
