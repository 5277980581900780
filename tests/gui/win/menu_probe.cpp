// Loaded into the running program by the inspection helper: menus cannot be
// read from another process under Wine, so this library reads the main
// window's menu bar from inside and writes it to menu.txt beside itself
// (through a temporary name, so the reader never sees half a file), then
// unloads itself so that the next load runs again.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HMODULE self = nullptr;

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || GetMenu(window) == nullptr) return TRUE;
  // No message to the window's thread: it may be the one that is busy.
  WCHAR caption[64] = {};
  InternalGetWindowText(window, caption, 64);
  if (std::wstring(caption) != L"Quillon Link") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND MainWindowOfThisProcess() {
  HWND found = nullptr;
  EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

void DumpMenu(HMENU menu, const std::string& path, std::string& out) {
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    char text[256] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, position, TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
    const std::string where = path.empty() ? std::to_string(position) : path + "." + std::to_string(position);
    const char* grey = (info.fState & MFS_GRAYED) ? "1" : "0";
    const char* checked = (info.fState & MFS_CHECKED) ? "1" : "0";
    if (info.hSubMenu != nullptr) {
      out += "popup\t" + where + "\t" + grey + "\t" + Escaped(text) + "\n";
      DumpMenu(info.hSubMenu, where, out);
    } else {
      out += "item\t" + std::to_string(info.wID) + "\t" + grey + "\t" + checked + "\t" + Escaped(text) + "\n";
    }
  }
}

DWORD WINAPI Probe(LPVOID) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, sizeof path);
  std::string folder(path);
  folder.resize(folder.find_last_of('\\') + 1);
  const std::string finalName = folder + "menu.txt";
  const std::string tempName = folder + "menu.tmp";

  std::string out;
  if (HWND main = MainWindowOfThisProcess()) DumpMenu(GetMenu(main), "", out);
  out += "end\n";
  if (FILE* file = std::fopen(tempName.c_str(), "wb")) {
    std::fwrite(out.data(), 1, out.size(), file);
    std::fclose(file);
    MoveFileExA(tempName.c_str(), finalName.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  FreeLibraryAndExitThread(self, 0);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    DisableThreadLibraryCalls(instance);
    if (HANDLE thread = CreateThread(nullptr, 0, Probe, nullptr, 0, nullptr)) CloseHandle(thread);
  }
  return TRUE;
}
