// Optional record of every byte the byte layer moves (--trace FILE).
// A line holds bytes of one direction, "> " sent and "< " received, as two
// uppercase hex digits separated by single spaces. A new line starts at the
// first byte of each command packet, after its ninth byte, and whenever the
// direction changes. A link time-out writes the line "! timeout"; other
// events of the link (a block read again) write "! " and a note.
#pragma once

#include <atomic>
#include <cstdio>

namespace ql {

// nullptr stops tracing. The file stays owned by the caller.
void SetLinkTrace(std::FILE* file);
bool LinkTraceActive();

// The byte layer's per-byte test: one relaxed load, no lock, no call.
namespace trace_detail {
inline std::atomic<bool> enabled{false};
}
inline bool LinkTraceOn() { return trace_detail::enabled.load(std::memory_order_relaxed); }

// Called by the byte and packet layers.
void TraceByte(bool sent, unsigned char value);
void TracePacketStart();
void TraceTimeout();
void TraceNote(const char* note);
// False when some of the record never reached the file.
bool FlushLinkTrace();

}  // namespace ql
