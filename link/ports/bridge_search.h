// Finding the USB bridge for the window: the serial port that answered last
// time first, then every other port the system lists, and what to tell the
// user when none of them is a bridge of ours.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/port_io.h"
#include "link/ports/bridge_open.h"

namespace ql::bridge {

// Opens one serial port and says HELLO: the connected bridge, or nullptr
// with the kind of failure (and, for OtherProtocol, the version spoken).
using BridgeConnector =
    std::function<std::unique_ptr<PortIo>(const std::string& device, BridgeFailure& failure, unsigned& protocol)>;

struct BridgeSearch {
  std::unique_ptr<PortIo> port;  // null when no port answered as our bridge
  std::string device;            // the port it answered on
  std::string message;           // why none did, for a message box
};

BridgeSearch SearchBridge(const std::string& remembered, const std::vector<std::string>& candidates,
                          const BridgeConnector& connect);

// The window's texts (caption "USB Bridge").
std::string NoBridgeAnswersText(const std::vector<std::string>& tried);
std::string WrongFirmwareText(const std::string& device, unsigned protocol);

}  // namespace ql::bridge
