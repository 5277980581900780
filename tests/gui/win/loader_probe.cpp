// loader_probe: runs the Windows port-library loader once and prints one
// line: "bound" with the port library left loaded (name and full path), its
// IsDriverInstalled answer and a read of LPT1's status register, or
// "failed: " and the failure text (newlines as \n). Exit 0 when bound.
// A port library still loaded after a failure is reported on stderr: a
// rejected library must have been freed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/port_io.h"
#include "link/ports/windows_io_library.h"
#include "main_window.h"

namespace {

constexpr const char* kPortLibraries[] = {"io.dll", "inpoutx64.dll", "inpout32.dll"};
constexpr std::uint16_t kLpt1Status = 0x378 + ql::kStatusRegister;

// "name@path" of every port library in the process, space-separated.
std::string LoadedPortLibraries() {
  std::string list;
  for (const char* name : kPortLibraries) {
    HMODULE module = GetModuleHandleA(name);
    if (module == nullptr) continue;
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (!list.empty()) list += ' ';
    list += std::string(name) + "@" + std::string(path, length);
  }
  return list;
}

}  // namespace

int main() {
  std::string failure;
  std::unique_ptr<ql::PortIo> port = ql::WindowsPortLibraryLoader()(failure);
  if (!port) {
    std::printf("failed: %s\n", probe::Escaped(failure).c_str());
    const std::string left = LoadedPortLibraries();
    if (!left.empty()) std::fprintf(stderr, "still loaded: %s\n", left.c_str());
    return 1;
  }
  const unsigned driver = port->IsDriverInstalled();
  const unsigned status = port->PortIn(kLpt1Status);
  std::printf("bound %s driver=%u status=0x%02X\n", LoadedPortLibraries().c_str(), driver, status);
  return 0;
}
