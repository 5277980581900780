#include "shell/bridge_loader.h"

#include <utility>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_search.h"
#include "link/ports/serial_line.h"
#include "shell/settings.h"

namespace ql {
namespace {

std::unique_ptr<PortIo> Connect(const std::string& device, bridge::BridgeFailure& failure, unsigned& protocol) {
  std::string error;
  auto line = OpenSerialLine(device, QLBR_DEFAULT_BAUD, error);
  if (!line) {
    failure = bridge::BridgeFailure::LineFailed;
    return nullptr;
  }
  return bridge::ConnectBridge(std::move(line), QLBR_DEFAULT_BAUD, error, bridge::kHelloBudgetMs, &failure, &protocol);
}

}  // namespace

PortLibraryLoader WindowsBridgeLoader() {
  return [](std::string& failureMessage) -> std::unique_ptr<PortIo> {
    const std::string remembered = ReadBridgePort();
    bridge::BridgeSearch found = bridge::SearchBridge(remembered, bridge::BridgeCandidates(), Connect);
    if (!found.port) {
      failureMessage = found.message;
      return nullptr;
    }
    if (found.device != remembered) WriteBridgePort(found.device);
    return std::move(found.port);
  };
}

}  // namespace ql
