// Port back ends chosen by the port argument of the command line:
//   lpt1..lpt3   Linux: /dev/parport0..2 through ppdev; Windows: io.dll at 0x378, 0x278, 0x3BC
//   /dev/parportN  ppdev (Linux only)
//   0xHHHH       direct I/O at that base (Linux: ioperm below 0x400, iopl above)
// Every back end has a base of its own and addresses a register as (port & 3),
// so it works whatever base the binding computed from SelectedLpt.
#pragma once

#include <memory>
#include <string>

#include "core/port_io.h"

namespace ql {

// nullptr and a message that says what to do when the port cannot be opened.
std::unique_ptr<PortIo> OpenPortBackend(const std::string& port, std::string& error);

}  // namespace ql
