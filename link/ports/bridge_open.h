// Opening the USB bridge: the HELLO exchange that waits out an Arduino's
// reset, the version check, the switch to another baud rate, and the
// messages that say what to do when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/port_io.h"
#include "link/ports/bridge_port.h"
#include "link/ports/serial_line.h"

namespace ql::bridge {

// How long the board may take to answer after the port was opened (an
// Arduino restarts through its bootloader when the port opens).
constexpr int kHelloBudgetMs = 3000;

// Why a bridge could not be connected, for callers that word it their own way.
enum class BridgeFailure {
  None,
  Silent,         // nothing answered the HELLO
  Foreign,        // something answered, not as our bridge
  OtherProtocol,  // our bridge with firmware of another protocol version
  LineFailed,     // the serial device failed, or the board stopped answering after the HELLO
};

// Talks to the board on an open line: HELLO until it answers, then the baud
// rate. nullptr and a message when it is not our bridge or does not answer;
// `failure`, when given, gets the kind (and `protocol` the version it spoke).
std::unique_ptr<BridgePort> ConnectBridge(std::unique_ptr<SerialLine> line, std::uint32_t baud, std::string& error,
                                          int helloBudgetMs = kHelloBudgetMs, BridgeFailure* failure = nullptr,
                                          unsigned* protocol = nullptr);

// Opens DEVICE, or with an empty name the first of BridgeCandidates() that
// answers as a bridge (/dev/ttyUSB* and /dev/ttyACM* on Linux, the COM ports
// Windows lists).
std::unique_ptr<PortIo> OpenBridgePort(const std::string& device, std::uint32_t baud, std::string& error);

// The serial devices a bridge may sit on, in the order they are tried.
std::vector<std::string> BridgeCandidates();

// The texts of the failures.
std::string SilentBridgeText(const std::string& device, int budgetMs);
std::string ForeignDeviceText(const std::string& device);
std::string OtherProtocolText(const std::string& device, unsigned protocol);
std::string FlashAdvice(const std::string& device);

// What a bridge (the PortIo from OpenBridgePort) says about itself, for
// probe; empty for any other back end.
std::string DescribeBridge(PortIo& port);

}  // namespace ql::bridge
