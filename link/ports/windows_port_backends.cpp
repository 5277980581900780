#include "link/ports/bridge_open.h"
#include "link/ports/port_argument.h"
#include "link/ports/port_backends.h"
#include "link/ports/rebased_port.h"
#include "link/ports/windows_io_library.h"

namespace ql {

std::unique_ptr<PortIo> OpenPortBackend(const std::string& port, std::string& error) {
  PortArgument argument;
  if (!ParsePortArgument(port, argument, error)) return nullptr;
  if (argument.kind == PortArgument::Kind::DeviceFile) {
    error = port + " is a Linux device: on Windows use lpt1, lpt2, lpt3 or 0xHHHH";
    return nullptr;
  }
  if (argument.kind == PortArgument::Kind::Bridge) {
    return bridge::OpenBridgePort(argument.bridgeDevice, argument.baud, error);
  }
  std::unique_ptr<PortIo> library = LoadWindowsPortLibrary(error);
  if (!library) return nullptr;
  const std::uint16_t base = argument.kind == PortArgument::Kind::Lpt ? LptBaseAddress(argument.lpt) : argument.base;
  return std::make_unique<RebasedPort>(std::move(library), base);
}

}  // namespace ql
