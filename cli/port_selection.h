// The --port argument: which back end the link binds to when the first
// copier command needs it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "emulator/copier.h"

namespace ql::cli {

struct PortChoice {
  enum class Kind { Lpt, DevicePath, DirectIo, Emulator };
  Kind kind = Kind::Lpt;
  unsigned lptNumber = 1;   // Lpt: 1..3
  std::string argument;     // as given, for the real back ends
  emu::Options simOptions;  // Emulator
};

// False and a message naming what is wrong for anything that is not a port.
// The emulator's device follows --device unless the options name one.
bool ParsePortChoice(const std::string& port, const std::string& device, PortChoice& choice, std::string& error);

// What the link is bound to, for humans: "ppdev /dev/parport0", "direct I/O 0x378", "emulated SWC".
std::string DescribePort(const PortChoice& choice);

// Installs the port library loader that opens the chosen back end, and
// selects the port number the link addresses. beforeOpening, when given,
// runs first; its false (and message) fails the binding.
void InstallPortLoader(const PortChoice& choice,
                       std::function<bool(std::string& failureMessage)> beforeOpening = {});

}  // namespace ql::cli
