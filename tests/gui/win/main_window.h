// What the test helpers share: one-line escaping of the texts they print,
// and finding the main window without a message to its thread (which may be
// the busy one).
#pragma once

#include <windows.h>

#include <string>

namespace probe {

inline std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    const char* escape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
    out += escape != nullptr ? std::string(escape) : std::string(1, c);
  }
  return out;
}

// The folder of a module (null: the program), ending in a backslash: the
// helper and the probe talk through files there.
inline std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, sizeof path);
  std::string folder(path);
  folder.resize(folder.find_last_of('\\') + 1);
  return folder;
}

// A window's text without sending it a message.
inline std::string Caption(HWND window) {
  WCHAR wide[256] = {};
  InternalGetWindowText(window, wide, 256);
  char text[512] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

inline DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

// The main window has the caption and a menu bar (a message box may carry
// the same caption). Process 0: any process.
inline HWND FindMainWindow(DWORD process = 0) {
  for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    if ((process == 0 || ProcessOf(window) == process) && GetMenu(window) != nullptr &&
        Caption(window) == "Quillon Link")
      return window;
  }
  return nullptr;
}

}  // namespace probe
