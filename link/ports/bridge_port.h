// The USB bridge as a port back end. As a ByteChannel it queues whole runs
// and streams them to the board within its receive window, learning their
// outcome at Finish (one SYNC per block), or, for a block ended by EndBlock,
// from a CHECKPOINT's DONE while the next block streams; as a PortIo it
// writes the data and control registers and reads status on the board, for
// release, park and probe. What the trace shows and when LinkTimeout is
// raised follow what the board reports it moved, so both match a parallel
// port's. common_bridge_failures.cpp settles what went wrong.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/port_io.h"
#include "link/byte_channel.h"
#include "link/ports/bridge_wire.h"

namespace ql::bridge {

struct BridgeInfo {
  std::uint8_t protocol = 0;
  std::uint8_t firmwareMajor = 0;
  std::uint8_t firmwareMinor = 0;
  std::uint16_t window = 0;
  std::uint32_t baud = 0;
};

class BridgePort final : public PortIo, public ByteChannel, private FrameSink {
 public:
  // A wire whose board has answered HELLO.
  BridgePort(std::unique_ptr<BridgeWire> wire, const BridgeInfo& info);
  ~BridgePort() override;  // lets the board finish what was queued
  BridgePort(const BridgePort&) = delete;
  BridgePort& operator=(const BridgePort&) = delete;

  const BridgeInfo& Info() const { return info_; }
  const std::string& DeviceName() { return wire_->Line().Name(); }

  // PortIo
  void PortOut(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t PortIn(std::uint16_t port) override;
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override;
  std::uint16_t IsDriverInstalled() override { return 1; }

  // ByteChannel
  void BeginPacket() override;
  void Send(std::span<const std::uint8_t> bytes) override;
  void Receive(std::span<std::uint8_t> bytes) override;
  void Pause(std::uint32_t ms) override;
  void Finish() override;
  void EndBlock() override;

 private:
  enum class Failure { None, CopierTimeout, BoardError, CorruptReply, Miscount, Silent, Gone };
  enum class Mark : std::uint8_t { Packet, Sent, Received };
  struct TraceItem {
    Mark mark;
    std::uint8_t value;
    bool known;  // a received byte's value has arrived
  };

  void OnFrame(const Frame& frame) override;
  void OnCorruptReply() override;

  void Post(std::uint8_t type, std::span<const std::uint8_t> payload);
  void PostSends();
  void PostReceives();
  void PostRuns();
  bool Sync();
  void WaitForBlock();
  void BlockDone(std::uint32_t count);
  void Fail(Failure failure);
  void Miscounted(std::uint64_t reported, std::uint64_t sent);
  // Writes the trace, says why, realigns the board and forgets the run.
  void Settle();
  void ThrowIfFailed();
  std::string FailureText() const;
  bool Realign();  // true when the board answered the SYNC
  void ForgetRun();
  void TraceThrough(std::size_t items, std::uint64_t bytes);

  std::unique_ptr<BridgeWire> wire_;
  BridgeInfo info_;
  std::vector<std::uint8_t> sends_;  // the SEND frame being filled
  std::uint32_t receives_ = 0;       // bytes of the RECEIVE being gathered
  std::deque<std::span<std::uint8_t>> targets_;
  std::size_t targetFill_ = 0;
  std::uint64_t runBytes_ = 0;  // queued since the last SYNC
  bool runOpen_ = false;
  // The board counts on from a CHECKPOINT; the PC waits for one at a time.
  bool checkpoints_ = false;  // the board's firmware takes CHECKPOINT
  bool blockPending_ = false;
  std::uint8_t blockToken_ = 0;
  std::uint64_t blockBytes_ = 0;         // runBytes_ at the pending CHECKPOINT
  std::size_t blockItems_ = 0;           // trace items up to it
  std::uint64_t checkpointedBytes_ = 0;  // runBytes_ at the last CHECKPOINT
  std::vector<TraceItem> trace_;
  std::size_t traced_ = 0;         // items written to the trace
  std::uint64_t tracedBytes_ = 0;  // bytes among them, since the last SYNC
  // (the items of a block whose CHECKPOINT came back are written and dropped)
  std::size_t nextReceived_ = 0;  // item that the next received byte fills

  std::uint8_t token_ = 0;
  bool doneSeen_ = false;
  std::uint32_t doneCount_ = 0;
  bool statusSeen_ = false;
  std::uint8_t status_ = 0;
  Failure failure_ = Failure::None;
  std::uint32_t failureValue_ = 0;
  std::uint64_t failureSent_ = 0;  // what the PC counted, for a miscount
  // The count of the first SYNC answered after a failure: where the board stopped.
  bool faultCounted_ = false;
  std::uint32_t faultCount_ = 0;
  bool realigning_ = false;
  bool owed_ = false;            // a failure settled by a register access, to raise at the next run
  bool dead_ = false;            // the board no longer answers: fail at once
  std::uint8_t data_ = 0x00;     // what the data register holds, as last written
  std::uint8_t control_ = 0x0C;  // the control register as a PC would read it back
};

}  // namespace ql::bridge
