#include "emulator/dll/process_copier.h"

#include <windows.h>

#include <bitset>
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
std::bitset<65536> portsUsed;

void WritePortsUsed(const std::string& folder) {
  const std::string path = folder + "\\ports.log";
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return;
  for (std::size_t port = 0; port < portsUsed.size(); ++port) {
    if (portsUsed[port]) std::fprintf(file, "%04X\n", static_cast<unsigned>(port));
  }
  std::fclose(file);
}

}  // namespace

Copier* ProcessCopier() {
  static Copier* copier = existing = Create();
  return copier;
}

void SaveProcessCopier() {
  if (!existing) return;
  existing->SaveState();
  if (!existing->options().stateDir.empty()) WritePortsUsed(existing->options().stateDir);
}

void NotePortUsed(std::uint16_t port) { portsUsed.set(port); }

}  // namespace ql::emu

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) ql::emu::SaveProcessCopier();
  return TRUE;
}
