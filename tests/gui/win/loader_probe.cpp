// loader_probe: runs the Windows port-library loader once and prints
// "bound", every port library then loaded in the process (name@path:
// a library the loader rejected on the way must have been freed) and the
// bound library's IsDriverInstalled answer; or "failed: " and the failure
// text. Exit 0 when bound.
#include <windows.h>

#include <cstdio>
#include <string>

#include "link/ports/windows_io_library.h"

int main() {
  std::string failure;
  std::unique_ptr<ql::PortIo> port = ql::WindowsPortLibraryLoader()(failure);
  if (!port) {
    std::printf("failed: %s\n", failure.c_str());
    return 1;
  }
  std::string loaded;
  for (const char* name : {"io.dll", "inpoutx64.dll", "inpout32.dll"}) {
    char path[MAX_PATH];
    HMODULE module = GetModuleHandleA(name);
    if (module != nullptr && GetModuleFileNameA(module, path, MAX_PATH) > 0)
      loaded.append(" ").append(name).append("@").append(path);
  }
  std::printf("bound%s driver=%u\n", loaded.c_str(), static_cast<unsigned>(port->IsDriverInstalled()));
  return 0;
}
