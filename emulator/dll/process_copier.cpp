#include "emulator/dll/process_copier.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace ql::emu {
namespace {

std::string Environment(const char* name) {
  char buffer[4096];
  const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

Copier* Create() {
  Options options;
  std::string error;
  if (!ParseOptions(Environment("QUILLON_SIM"), options, error)) {
    const std::string message = "QUILLON_SIM: " + error + "\n";
    OutputDebugStringA(message.c_str());
    std::fputs(message.c_str(), stderr);
    return nullptr;
  }
  // Never destroyed: the state is saved when the library is detached, and
  // destructors of a library being unloaded at process exit are not to be relied on.
  return new Copier(options);
}

Copier* existing = nullptr;

}  // namespace

Copier* ProcessCopier() {
  static Copier* copier = existing = Create();
  return copier;
}

void SaveProcessCopier() {
  if (existing) existing->SaveState();
}

}  // namespace ql::emu

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) ql::emu::SaveProcessCopier();
  return TRUE;
}
