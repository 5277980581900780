#include "link/trace.h"

#include <mutex>

namespace ql {
namespace {

enum class LineState { None, Sent, Received };

struct TraceState {
  std::mutex mutex;
  std::FILE* file = nullptr;
  LineState line = LineState::None;
  int packetBytes = -1;  // bytes of the current packet sent so far; -1 outside a packet
  bool packetPending = false;
};

TraceState& State() {
  static TraceState state;
  return state;
}

void EndLine(TraceState& s) {
  if (s.line != LineState::None) {
    std::fputc('\n', s.file);
    s.line = LineState::None;
  }
}

}  // namespace

void SetLinkTrace(std::FILE* file) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.file) {
    EndLine(s);
    std::fflush(s.file);
  }
  s.file = file;
  trace_detail::enabled.store(file != nullptr, std::memory_order_relaxed);
  s.line = LineState::None;
  s.packetBytes = -1;
  s.packetPending = false;
}

bool LinkTraceActive() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  return s.file != nullptr;
}

void TracePacketStart() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.file) s.packetPending = true;
}

void TraceByte(bool sent, unsigned char value) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.file) return;
  LineState direction = sent ? LineState::Sent : LineState::Received;
  bool newLine = s.line != direction;
  if (s.packetPending) {
    // First byte of a command packet always opens a line.
    newLine = true;
    s.packetPending = false;
    s.packetBytes = 0;
  } else if (s.packetBytes == 9) {
    // The bytes after a packet's ninth go on a line of their own.
    newLine = true;
    s.packetBytes = -1;
  }
  if (newLine) {
    EndLine(s);
    std::fputs(sent ? ">" : "<", s.file);
    s.line = direction;
  }
  std::fprintf(s.file, " %02X", value);
  if (s.packetBytes >= 0) ++s.packetBytes;
}

void TraceTimeout() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.file) return;
  EndLine(s);
  std::fputs("! timeout\n", s.file);
  s.packetBytes = -1;
}

void TraceNote(const char* note) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.file) return;
  EndLine(s);
  std::fprintf(s.file, "! %s\n", note);
  s.packetBytes = -1;
}

bool FlushLinkTrace() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.file) return true;
  EndLine(s);
  // The error flag also remembers a write that failed long before.
  return std::fflush(s.file) == 0 && std::ferror(s.file) == 0;
}

}  // namespace ql
