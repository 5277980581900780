// The Linux back ends behind OpenPortBackend.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/port_io.h"

namespace ql {

// A parallel port through the ppdev driver, claimed exclusively.
std::unique_ptr<PortIo> OpenPpdevPort(const std::string& path, std::string& error);
// Direct in/out instructions at a base address (x86 only, needs root).
std::unique_ptr<PortIo> OpenDirectIoPort(std::uint16_t base, std::string& error);
// The /dev/parport* files that exist, for the messages.
std::vector<std::string> PresentParallelPorts();

}  // namespace ql
