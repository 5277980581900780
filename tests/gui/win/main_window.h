// What the inspection helper and the probe it loads into the program share:
// finding the main window without a message to its thread (which may be the
// busy one), and one-line escaping of the texts they print.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

inline constexpr const char* kMainCaption = "Quillon Link";

inline std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    const char* escape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
    if (escape != nullptr)
      out += escape;
    else
      out += c;
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

struct MainWindowSearch {
  DWORD process;  // 0: any process
  HWND found;
};

inline BOOL CALLBACK MatchMainWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<MainWindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search->process != 0 && owner != search->process) || GetMenu(window) == nullptr ||
      Caption(window) != kMainCaption)
    return TRUE;
  search->found = window;
  return FALSE;
}

// The main window has the caption and a menu bar (a message box may carry
// the same caption).
inline HWND FindMainWindow(DWORD process = 0) {
  MainWindowSearch search{process, nullptr};
  EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace probe
