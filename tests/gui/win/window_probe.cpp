// Loaded into the running program by the inspection helper, for what cannot
// be done from another process under Wine: it reads the main window's menu
// bar and names the static texts too wide for their control (a missing
// dialog font cuts labels short), or drops the files listed in drop.txt
// beside it on the window as the shell would. It answers in probe.txt while
// it is being loaded and then refuses the load, so that the next load runs again.
#include <windows.h>
// The shell's drop record needs windows.h first.
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "main_window.h"

namespace {

using probe::Escaped;

// "popup GREY" for each menu of the bar, "item ID GREY CHECKED TEXT" for each command in them.
void DumpMenu(HMENU menu, bool bar, std::string& out) {
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    char text[256] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, position, TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
    const std::string grey = (info.fState & MFS_GRAYED) ? "1" : "0";
    if (info.hSubMenu != nullptr) {
      if (bar) out += "popup\t" + grey + "\n";
      DumpMenu(info.hSubMenu, false, out);
    } else {
      const char* checked = (info.fState & MFS_CHECKED) ? "1" : "0";
      out += "item\t" + std::to_string(info.wID) + "\t" + grey + "\t" + checked + "\t" + Escaped(text) + "\n";
    }
  }
}

// "clipped ID" for each static text wider than its control, measured with
// the control's own font. The messages time out rather than wait on a window
// thread that may be waiting for the loader lock this load holds.
void DumpClippedTexts(HWND main, std::string& out) {
  for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char kind[16] = {};
    if (GetClassNameA(child, kind, sizeof kind) == 0 || lstrcmpiA(kind, "Static") != 0) continue;
    const std::string text = probe::Caption(child);
    DWORD_PTR font = 0;
    if (text.empty() || !SendMessageTimeoutA(child, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 100, &font)) continue;
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(font));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    RECT client = {};
    GetClientRect(child, &client);
    if (extent.cx > client.right) out += "clipped\t" + std::to_string(GetDlgCtrlID(child)) + "\n";
  }
}

// WM_DROPFILES with a drop record of our own, as a drag from the desktop makes it.
std::string DropFiles(HWND main, const std::string& listFile) {
  std::string names;  // each path with its NUL, then the closing NUL
  int count = 0;
  std::ifstream list(listFile);
  for (std::string line; std::getline(list, line); ++count) names += line + '\0';
  names += '\0';
  list.close();
  DeleteFileA(listFile.c_str());
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
  auto* record = static_cast<DROPFILES*>(GlobalLock(drop));
  record->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(record) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(drop);
  if (!PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) return "dropfailed\n";
  return "dropped\t" + std::to_string(count) + "\n";
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const std::string folder = probe::ModuleFolder(self);
  const std::string dropList = folder + "drop.txt";
  std::string out;
  if (HWND main = probe::FindMainWindow(GetCurrentProcessId())) {
    if (GetFileAttributesA(dropList.c_str()) != INVALID_FILE_ATTRIBUTES) {
      out = DropFiles(main, dropList);
    } else {
      DumpMenu(GetMenu(main), true, out);
      DumpClippedTexts(main, out);
    }
  }
  out += "end\n";
  if (FILE* file = std::fopen((folder + "probe.txt").c_str(), "wb")) {
    std::fwrite(out.data(), 1, out.size(), file);
    std::fclose(file);
  }
  return FALSE;
}
