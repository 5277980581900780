// Opening the USB bridge on a named serial device, or on the first of the
// system's serial devices that answers as one.
#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_open.h"
#include "link/ports/bridge_text.h"
#include "link/ports/serial_line.h"

namespace ql::bridge {
namespace {

#ifdef _WIN32
constexpr const char* kNoCandidatesText =
    "No USB bridge found: Windows lists no COM port. Plug the bridge in, or name its port: --port bridge:COM5";
#else
constexpr const char* kNoCandidatesText =
    "No USB bridge found: no /dev/ttyUSB* or /dev/ttyACM* device exists. Plug the bridge in, or name its "
    "device: --port bridge:/dev/ttyUSB0";
#endif

}  // namespace

std::unique_ptr<PortIo> OpenBridgePort(const std::string& device, std::uint32_t baud, std::string& error) {
  if (!device.empty()) {
    auto line = OpenSerialLine(device, QLBR_DEFAULT_BAUD, error);
    if (!line) return nullptr;
    return ConnectBridge(std::move(line), baud, error);
  }
  const std::vector<std::string> candidates = BridgeCandidates();
  if (candidates.empty()) {
    error = kNoCandidatesText;
    return nullptr;
  }
  std::string reasons;
  for (const std::string& candidate : candidates) {
    std::string why;
    auto line = OpenSerialLine(candidate, QLBR_DEFAULT_BAUD, why);
    if (line) {
      if (auto port = ConnectBridge(std::move(line), baud, why)) return port;
    }
    reasons += "\n  " + why;
  }
  error = Cat("No USB bridge found among the serial devices:", reasons);
  return nullptr;
}

}  // namespace ql::bridge
