// A port whose status lines follow a script, for exact wire and timing cases.
// The script is a queue of handshake phases: each phase is the status value
// the copier shows once it is ready, optionally after a delay in virtual
// time; a STROBE inversion ends the phase. Before its delay has passed a
// phase shows the same value with bit 7 flipped (not ready). With the queue
// empty the port shows `idleStatus`. Every port operation is logged.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "core/port_io.h"

namespace ql::testing {

class ScriptedPort final : public PortIo {
 public:
  enum class OpKind { Out, In, NotBit };
  struct Op {
    OpKind kind;
    std::uint16_t port;
    std::uint8_t value;  // written value, value read, or bit number
    std::uint64_t at;    // virtual clock ticks
  };

  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

  // The copier is ready for one byte sent.
  void ExpectSends(int count, std::uint32_t delayMs = 0);
  // The copier offers one byte: two phases, low nibble then high nibble.
  void OfferByte(std::uint8_t value, std::uint32_t delayMs = 0);
  void AddPhase(std::uint8_t readyStatus, std::uint32_t delayMs = 0);
  // Exact values for the next status reads, served before any phase logic.
  void QueueStatusReads(const std::vector<std::uint8_t>& values);
  void SetIdleStatus(std::uint8_t status) { idleStatus_ = status; }
  void SetDriverInstalled(std::uint16_t value) { driverInstalled_ = value; }
  void SetBase(std::uint16_t base) { base_ = base; }

  // PortIo
  void PortOut(std::uint16_t port, std::uint8_t value) override;
  std::uint8_t PortIn(std::uint16_t port) override;
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override;
  std::uint16_t IsDriverInstalled() override { return driverInstalled_; }

  const std::vector<Op>& Ops() const { return ops_; }
  // Values written to the data register, in order.
  std::vector<std::uint8_t> DataWritten() const;
  std::size_t Count(OpKind kind, std::uint16_t offset) const;
  std::size_t PhasesLeft() const { return phases_.size(); }
  std::uint8_t Data() const { return data_; }
  std::uint8_t Control() const { return control_; }
  void ClearOps() { ops_.clear(); }
  // Long waits: keep counting status reads but stop logging.
  void SetLogging(bool logging) { logging_ = logging; }
  std::uint64_t StatusReads() const { return statusReads_; }

 private:
  struct Phase {
    std::uint8_t readyStatus;
    std::uint32_t delayMs;
  };
  std::uint8_t CurrentStatus();
  void Log(const Op& op);

  VirtualClock& clock_;
  std::deque<Phase> phases_;
  std::deque<std::uint8_t> exactReads_;
  std::uint64_t phaseStartTicks_ = 0;
  std::uint8_t idleStatus_ = 0x80;
  std::uint16_t driverInstalled_ = 1;
  std::uint16_t base_ = 0x378;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0x04;
  std::vector<Op> ops_;
  bool logging_ = true;
  std::uint64_t statusReads_ = 0;
};

// The binding owns what the loader returns; the scripted port stays the test's.
class BorrowedPort final : public PortIo {
 public:
  explicit BorrowedPort(PortIo& port) : port_(port) {}
  void PortOut(std::uint16_t port, std::uint8_t value) override { port_.PortOut(port, value); }
  std::uint8_t PortIn(std::uint16_t port) override { return port_.PortIn(port); }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { port_.NotPortBit(port, bit); }
  std::uint16_t IsDriverInstalled() override { return port_.IsDriverInstalled(); }

 private:
  PortIo& port_;
};

}  // namespace ql::testing
