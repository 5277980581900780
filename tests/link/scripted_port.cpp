#include "tests/link/scripted_port.h"

namespace ql::testing {

void ScriptedPort::ExpectSends(int count, std::uint32_t delayMs) {
  for (int i = 0; i < count; ++i) AddPhase(0x80, delayMs);
}

void ScriptedPort::OfferByte(std::uint8_t value, std::uint32_t delayMs) {
  AddPhase(static_cast<std::uint8_t>((value & 0x0F) << 3), delayMs);
  AddPhase(static_cast<std::uint8_t>((value >> 4) << 3), delayMs);
}

void ScriptedPort::AddPhase(std::uint8_t readyStatus, std::uint32_t delayMs) {
  if (phases_.empty()) phaseStartTicks_ = clock_.Peek();
  phases_.push_back({readyStatus, delayMs});
}

void ScriptedPort::QueueStatusReads(const std::vector<std::uint8_t>& values) {
  exactReads_.insert(exactReads_.end(), values.begin(), values.end());
}

std::uint8_t ScriptedPort::CurrentStatus() {
  if (!exactReads_.empty()) {
    const std::uint8_t value = exactReads_.front();
    exactReads_.pop_front();
    return value;
  }
  if (phases_.empty()) return idleStatus_;
  const Phase& phase = phases_.front();
  std::uint64_t ticksPerSecond = 0;
  clock_.QueryFrequency(ticksPerSecond);
  const std::uint64_t elapsedMs = ticksPerSecond ? (clock_.Peek() - phaseStartTicks_) * 1000 / ticksPerSecond : 0;
  if (elapsedMs < phase.delayMs) return static_cast<std::uint8_t>(phase.readyStatus ^ 0x80);
  return phase.readyStatus;
}

void ScriptedPort::PortOut(std::uint16_t port, std::uint8_t value) {
  Log({OpKind::Out, port, value, clock_.Peek()});
  if (port == base_ + kDataRegister) data_ = value;
  if (port == base_ + kControlRegister) control_ = value;
}

std::uint8_t ScriptedPort::PortIn(std::uint16_t port) {
  std::uint8_t value = 0xFF;
  if (port == base_ + kStatusRegister) value = CurrentStatus();
  if (port == base_ + kDataRegister) value = data_;
  if (port == base_ + kControlRegister) value = control_;
  Log({OpKind::In, port, value, clock_.Peek()});
  return value;
}

void ScriptedPort::NotPortBit(std::uint16_t port, std::uint8_t bit) {
  Log({OpKind::NotBit, port, bit, clock_.Peek()});
  if (port == base_ + kControlRegister) {
    control_ = static_cast<std::uint8_t>(control_ ^ (1u << bit));
    if (!phases_.empty()) {
      phases_.pop_front();
      phaseStartTicks_ = clock_.Peek();
    }
  }
}

void ScriptedPort::Log(const Op& op) {
  if (op.kind == OpKind::In && op.port == base_ + kStatusRegister) ++statusReads_;
  if (logging_) ops_.push_back(op);
}

std::vector<std::uint8_t> ScriptedPort::DataWritten() const {
  std::vector<std::uint8_t> written;
  for (const Op& op : ops_) {
    if (op.kind == OpKind::Out && op.port == base_ + kDataRegister) written.push_back(op.value);
  }
  return written;
}

std::size_t ScriptedPort::Count(OpKind kind, std::uint16_t offset) const {
  std::size_t count = 0;
  for (const Op& op : ops_) {
    if (op.kind == kind && op.port == base_ + offset) ++count;
  }
  return count;
}

}  // namespace ql::testing
