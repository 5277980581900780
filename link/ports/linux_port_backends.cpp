#include "link/ports/bridge_open.h"
#include "link/ports/linux_ports.h"
#include "link/ports/port_argument.h"
#include "link/ports/port_backends.h"

namespace ql {

std::unique_ptr<PortIo> OpenPortBackend(const std::string& port, std::string& error) {
  PortArgument argument;
  if (!ParsePortArgument(port, argument, error)) return nullptr;
  switch (argument.kind) {
    case PortArgument::Kind::Lpt:
      return OpenPpdevPort(LptDevicePath(argument.lpt), error);
    case PortArgument::Kind::DeviceFile:
      return OpenPpdevPort(argument.devicePath, error);
    case PortArgument::Kind::DirectIo:
      return OpenDirectIoPort(argument.base, error);
    case PortArgument::Kind::Bridge:
      return bridge::OpenBridgePort(argument.bridgeDevice, argument.baud, error);
  }
  error = "Unknown port '" + port + "'";
  return nullptr;
}

}  // namespace ql
