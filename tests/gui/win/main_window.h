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
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A window's text without sending it a message.
inline std::string Caption(HWND window) {
  WCHAR wide[256] = {};
  InternalGetWindowText(window, wide, 256);
  char text[512] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

// The main window has the caption and a menu bar (a message box may carry
// the same caption); process 0 means any process.
inline HWND FindMainWindow(DWORD process = 0) {
  struct Search {
    DWORD process;
    HWND found;
  } search{process, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((s->process != 0 && owner != s->process) || GetMenu(window) == nullptr || Caption(window) != kMainCaption)
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace probe
