// How the window binds the USB bridge: through the serial port it answered
// on last time, else the first of the system's serial ports that answers.
#pragma once

#include "link/port_binding.h"

namespace ql {

PortLibraryLoader WindowsBridgeLoader();

}  // namespace ql
