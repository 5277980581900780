// The binding's state as the byte layer reads it on every byte: plain
// variables rather than calls, so the hot path costs no function call to
// find its port. Written only by port_binding.cpp.
#pragma once

#include <cstdint>

#include "core/port_io.h"

namespace ql {
class ByteChannel;
}

namespace ql::link_state {

inline PortIo* boundPort = nullptr;  // null while unbound
// Set when the bound back end moves whole runs itself (the USB bridge).
inline ByteChannel* boundChannel = nullptr;
inline std::uint16_t lptBase = 0;
inline std::uint64_t ticksPerMs = 0;  // 0: no usable counter, waits count polls

}  // namespace ql::link_state
