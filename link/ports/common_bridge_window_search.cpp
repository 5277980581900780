// The window's search for the USB bridge: the remembered port first, then
// the others, and the texts of its failures.
#include <algorithm>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_search.h"
#include "link/ports/bridge_text.h"

namespace ql::bridge {

BridgeSearch SearchBridge(const std::string& remembered, const std::vector<std::string>& candidates,
                          const BridgeConnector& connect) {
  std::vector<std::string> order;
  if (!remembered.empty()) order.push_back(remembered);
  for (const std::string& device : candidates) {
    if (std::find(order.begin(), order.end(), device) == order.end()) order.push_back(device);
  }
  BridgeSearch found;
  std::string oldFirmwareDevice;
  unsigned oldFirmwareProtocol = 0;
  for (const std::string& device : order) {
    BridgeFailure failure = BridgeFailure::None;
    unsigned protocol = 0;
    if (auto port = connect(device, failure, protocol)) {
      found.port = std::move(port);
      found.device = device;
      return found;
    }
    if (failure == BridgeFailure::OtherProtocol && oldFirmwareDevice.empty()) {
      oldFirmwareDevice = device;
      oldFirmwareProtocol = protocol;
    }
  }
  // A board with other firmware is the likelier story than an unplugged one.
  found.message = oldFirmwareDevice.empty() ? NoBridgeAnswersText(order)
                                            : WrongFirmwareText(oldFirmwareDevice, oldFirmwareProtocol);
  return found;
}

std::string NoBridgeAnswersText(const std::vector<std::string>& tried) {
  std::string ports;
  for (const std::string& device : tried) ports += (ports.empty() ? "" : ", ") + device;
  return Cat(tried.empty() ? std::string("No USB bridge answers: Windows lists no serial port.")
                           : Cat("No USB bridge answers on the serial ports of this PC (", ports, ")."),
             "\nPlug the bridge into a USB port, wait until Windows has set it up, and try again. Boards with an FTDI "
             "or CH340 USB chip need no driver beyond what Windows installs by itself.");
}

std::string WrongFirmwareText(const std::string& device, unsigned protocol) {
  return Cat("The board on ", device, " answers with bridge protocol version ", protocol,
             "; this program speaks version ", QLBR_PROTOCOL_VERSION,
             ".\nFlash the bridge firmware of this release onto the board with avrdude:\n",
             "avrdude -c arduino -p m328p -P ", device, " -b 115200 -D -U flash:w:quillon-bridge.hex:i\n",
             "(a Nano with the old bootloader takes -b 57600).");
}

}  // namespace ql::bridge
