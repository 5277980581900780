// The seam between the copier's packet protocol and whatever moves its bytes.
// The command layer hands over whole runs (a packet, a block with its check
// byte, a pause) and says when it needs them done. A parallel port moves each
// byte at once; the USB bridge queues the runs, streams them to its board and
// learns their outcome only at Finish. Either way the copier sees the same
// bytes, pauses and order, and LinkTimeout is raised by the run that failed,
// or, for a block ended by EndBlock, at the latest by the next block's end.
#pragma once

#include <cstdint>
#include <span>

namespace ql {

class ByteChannel {
 public:
  virtual ~ByteChannel() = default;
  // The next byte sent is the first of a copier command packet.
  virtual void BeginPacket() = 0;
  virtual void Send(std::span<const std::uint8_t> bytes) = 0;
  // The bytes are valid once Finish has returned. Receives queued back to
  // back are one run on the wire.
  virtual void Receive(std::span<std::uint8_t> bytes) = 0;
  // A pause between two bytes (the 1 ms around read commands).
  virtual void Pause(std::uint32_t ms) = 0;
  // Returns once everything queued has reached the copier and every receive
  // is filled; raises LinkTimeout when the copier stopped answering.
  virtual void Finish() = 0;
  // Ends a block of sends whose outcome may come late: the bridge streams
  // the next block while the board's count for this one is on its way, and
  // raises this block's failure before the next block has ended (or at
  // Finish, which must follow the last block). The copier gets nothing
  // after a failure, as on a parallel port. A channel that cannot stream
  // finishes here.
  virtual void EndBlock() { Finish(); }
};

// The bound back end's channel, or the byte-by-byte one over the bound port.
ByteChannel& ActiveChannel();

}  // namespace ql
