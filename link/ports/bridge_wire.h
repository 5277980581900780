// The PC's end of the bridge's serial line: frames out within the board's
// receive window, frames in, and a bound on every wait so that a board that
// died is noticed rather than waited for.
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "link/ports/bridge_frames.h"
#include "link/ports/serial_line.h"

namespace ql::bridge {

// Receives every frame but CREDIT, which the wire keeps to itself.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void OnFrame(const Frame& frame) = 0;
  // A reply whose CRC failed.
  virtual void OnCorruptReply() = 0;
};

class BridgeWire {
 public:
  enum class Wait { Done, Quiet, Gone };

  explicit BridgeWire(std::unique_ptr<SerialLine> line);

  SerialLine& Line() { return *line_; }
  // The receive window of the HELLO reply; until then frames go out unchecked.
  void SetWindow(std::uint16_t window) { window_ = window; }
  std::uint16_t Window() const { return window_; }
  // Added to every bound: what the board may take beyond its own time-outs.
  void SetQuietMarginMs(int ms) { marginMs_ = ms; }

  // Queues a request; first reads replies until the window has room for it.
  // Quiet or Gone when that did not happen within the bound.
  Wait Post(std::uint8_t type, std::span<const std::uint8_t> payload, FrameSink& sink);
  bool Flush();
  // Flushes, then reads and hands over frames until `done()` holds. Quiet
  // when nothing arrived for longer than the board can be busy (or capMs).
  template <typename Until>
  Wait WaitFor(FrameSink& sink, Until done, int capMs = INT_MAX) {
    if (!Flush()) return Wait::Gone;
    while (!done()) {
      const Wait got = ReadSome(sink, std::min(BoundMs(), capMs));
      if (got != Wait::Done) return got;
    }
    return Wait::Done;
  }
  // Reads for at most ms and hands over what came (Done: something came).
  Wait ReadSome(FrameSink& sink, int ms);

  // The board has answered a SYNC: its buffer is empty, the window free.
  void BoardIdle();
  std::uint32_t InFlight() const { return inFlight_; }
  // Request bytes the board can take now without waiting for credit.
  std::uint32_t Room() const;
  // Bytes that arrived outside any frame (noise, another device's talk).
  std::uint64_t SkippedBytes() const { return decoder_.SkippedBytes(); }
  // How long the board may stay silent now, in ms.
  int BoundMs() const;

 private:
  struct Posted {
    std::uint32_t cost;  // window bytes still not credited
    std::uint32_t workMs;
  };
  void Credit(std::uint32_t bytes);

  std::unique_ptr<SerialLine> line_;
  FrameDecoder decoder_;
  std::vector<std::uint8_t> out_;
  std::array<std::uint8_t, 4096> in_{};
  std::deque<Posted> posted_;
  std::uint16_t window_ = 0;
  std::uint32_t inFlight_ = 0;
  std::uint64_t workMs_ = 0;         // of the requests not freed yet
  std::uint64_t currentWorkMs_ = 0;  // of those freed by the last CREDIT
  int timeScale_ = 1;
  std::uint32_t receiveLeft_ = 0;
  int marginMs_ = 2000;
};

}  // namespace ql::bridge
