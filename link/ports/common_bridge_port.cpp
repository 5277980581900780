#include <algorithm>
#include <cstdint>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_port.h"
#include "link/trace.h"

namespace ql::bridge {
namespace {

constexpr std::uint32_t kMaxReceive = 0xFFFF;
constexpr std::uint8_t kStrobeBit = 0;
// Below this a frame's five bytes of overhead cost more than the wait saves.
constexpr std::size_t kShortestFill = 32;

std::uint16_t Register(std::uint16_t port) { return static_cast<std::uint16_t>(port & 3); }

bool TakesCheckpoints(const BridgeInfo& info) {
  return info.firmwareMajor == 1 ? info.firmwareMinor >= QLBR_CHECKPOINT_MINOR : info.firmwareMajor > 1;
}

}  // namespace

BridgePort::BridgePort(std::unique_ptr<BridgeWire> wire, const BridgeInfo& info)
    : wire_(std::move(wire)), info_(info), checkpoints_(TakesCheckpoints(info)) {
  wire_->SetWindow(info.window);
  sends_.reserve(QLBR_MAX_PAYLOAD);
}

BridgePort::~BridgePort() {
  // The park of the shutdown is still queued: have the board carry it out.
  try {
    if (dead_) return;
    if (failure_ != Failure::None) Settle();
    PostRuns();
    if (!dead_) Sync();
  } catch (...) {
  }
}

// --- Register access -------------------------------------------------------

void BridgePort::PortOut(std::uint16_t port, std::uint8_t value) {
  if (failure_ != Failure::None) Settle();
  PostRuns();  // after the bytes handed over before it
  const std::uint16_t reg = Register(port);
  if (reg == kDataRegister) {
    data_ = value;
    Post(QLBR_REQ_WRITE_DATA, {&value, 1});
  } else if (reg == kControlRegister) {
    control_ = value;
    Post(QLBR_REQ_WRITE_CONTROL, {&value, 1});
  }
}

void BridgePort::NotPortBit(std::uint16_t port, std::uint8_t bit) {
  if (failure_ != Failure::None) Settle();
  PostRuns();
  const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
  if (Register(port) == kControlRegister) {
    control_ ^= mask;
    Post(QLBR_REQ_NOT_CONTROL_BIT, {&bit, 1});
  } else if (Register(port) == kDataRegister) {
    data_ ^= mask;
    Post(QLBR_REQ_WRITE_DATA, {&data_, 1});
  }
}

std::uint8_t BridgePort::PortIn(std::uint16_t port) {
  const std::uint16_t reg = Register(port);
  if (reg == kDataRegister) return data_;
  if (reg == kControlRegister) return control_;
  if (failure_ != Failure::None) Settle();
  if (dead_) return 0;
  PostRuns();
  statusSeen_ = false;
  Post(QLBR_REQ_READ_STATUS, {});
  if (failure_ == Failure::None) {
    const auto got = wire_->WaitFor(*this, [&] { return statusSeen_ || failure_ != Failure::None; });
    if (got != BridgeWire::Wait::Done) Fail(got == BridgeWire::Wait::Gone ? Failure::Gone : Failure::Silent);
  }
  if (failure_ != Failure::None) Settle();
  return statusSeen_ ? status_ : 0;
}

// --- Runs ------------------------------------------------------------------

void BridgePort::BeginPacket() {
  ThrowIfFailed();
  if (LinkTraceOn()) trace_.push_back({Mark::Packet, 0, true});
}

void BridgePort::Send(std::span<const std::uint8_t> bytes) {
  ThrowIfFailed();
  if (bytes.empty()) return;
  PostReceives();
  const bool tracing = LinkTraceOn();
  for (std::uint8_t byte : bytes) {
    if (tracing) trace_.push_back({Mark::Sent, byte, true});
    sends_.push_back(byte);
    // A frame that just fills the window goes out at once: the board gets
    // all it can hold while the PC waits for credit.
    if (sends_.size() == QLBR_MAX_PAYLOAD ||
        (sends_.size() >= kShortestFill && sends_.size() + QLBR_FRAME_OVERHEAD == wire_->Room()))
      PostSends();
  }
  // Each byte sent inverts STROBE once and leaves itself on the data lines.
  data_ = bytes.back();
  if (bytes.size() % 2 == 1) control_ ^= 1u << kStrobeBit;
  runBytes_ += bytes.size();
  runOpen_ = true;
  ThrowIfFailed();
}

void BridgePort::Receive(std::span<std::uint8_t> bytes) {
  ThrowIfFailed();
  if (bytes.empty()) return;
  PostSends();
  if (receives_ + bytes.size() > kMaxReceive) PostReceives();
  if (LinkTraceOn()) trace_.insert(trace_.end(), bytes.size(), TraceItem{Mark::Received, 0, false});
  targets_.push_back(bytes);
  receives_ += static_cast<std::uint32_t>(bytes.size());
  runBytes_ += bytes.size();
  runOpen_ = true;
}

void BridgePort::Pause(std::uint32_t ms) {
  ThrowIfFailed();
  PostRuns();
  while (ms > 0) {
    const auto step = static_cast<std::uint8_t>(std::min<std::uint32_t>(ms, 255));
    Post(QLBR_REQ_PAUSE, {&step, 1});
    ms -= step;
  }
  ThrowIfFailed();
}

void BridgePort::Finish() {
  ThrowIfFailed();
  PostRuns();
  if (!runOpen_) {
    // Register writes need no answer, but they must not wait in the PC.
    if (!wire_->Flush()) Fail(Failure::Gone);
  } else if (Sync()) {
    if (doneCount_ != runBytes_) {
      Miscounted(doneCount_, runBytes_);
    } else {
      TraceThrough(trace_.size(), runBytes_);
      ForgetRun();
    }
  }
  ThrowIfFailed();
}

// The next block streams while the board's count for this one comes back;
// it is checked before the next block ends, so a failure stops the upload
// one block later at most, and the board has moved nothing after it.
void BridgePort::EndBlock() {
  ThrowIfFailed();
  // Received bytes are wanted now, and a 1.0 board counts only at SYNC.
  if (!checkpoints_ || !targets_.empty() || receives_ > 0) return Finish();
  PostSends();
  WaitForBlock();
  if (failure_ == Failure::None && runBytes_ > checkpointedBytes_) {
    const auto count = static_cast<std::uint32_t>(runBytes_);
    ++token_;
    const std::uint8_t payload[QLBR_LEN_CHECKPOINT] = {
        token_, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
        static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
    Post(QLBR_REQ_CHECKPOINT, payload);
    blockPending_ = true;
    blockToken_ = token_;
    blockBytes_ = checkpointedBytes_ = runBytes_;
    blockItems_ = trace_.size();
  }
  // The board must not wait for the next block's first frame to see the end of this one.
  if (failure_ == Failure::None && !wire_->Flush()) Fail(Failure::Gone);
  ThrowIfFailed();
}

void BridgePort::WaitForBlock() {
  if (!blockPending_ || failure_ != Failure::None) return;
  const auto got = wire_->WaitFor(*this, [&] { return !blockPending_ || failure_ != Failure::None; });
  if (got != BridgeWire::Wait::Done) Fail(got == BridgeWire::Wait::Gone ? Failure::Gone : Failure::Silent);
}

// The pending block's DONE: its bytes reached the copier, so its trace is
// written and its items dropped; the run's counts go on from the last SYNC.
void BridgePort::BlockDone(std::uint32_t count) {
  blockPending_ = false;
  if (failure_ != Failure::None || realigning_) return;  // the failure's own count decides
  if (count != static_cast<std::uint32_t>(blockBytes_)) return Miscounted(count, blockBytes_);
  TraceThrough(blockItems_, UINT64_MAX);
  trace_.erase(trace_.begin(), trace_.begin() + static_cast<std::ptrdiff_t>(traced_));
  nextReceived_ -= std::min(nextReceived_, traced_);
  traced_ = 0;
}

void BridgePort::Post(std::uint8_t type, std::span<const std::uint8_t> payload) {
  if (dead_ || (failure_ != Failure::None && !realigning_)) return;
  const auto got = wire_->Post(type, payload, *this);
  if (got != BridgeWire::Wait::Done) Fail(got == BridgeWire::Wait::Gone ? Failure::Gone : Failure::Silent);
}

void BridgePort::PostSends() {
  if (sends_.empty()) return;
  Post(QLBR_REQ_SEND, sends_);
  sends_.clear();
}

void BridgePort::PostReceives() {
  if (receives_ == 0) return;
  const std::uint8_t count[2] = {static_cast<std::uint8_t>(receives_ & 0xFF),
                                 static_cast<std::uint8_t>(receives_ >> 8)};
  Post(QLBR_REQ_RECEIVE, count);
  receives_ = 0;
}

void BridgePort::PostRuns() {
  PostSends();
  PostReceives();
}

// Sends SYNC and waits for its DONE; false when a failure came instead.
bool BridgePort::Sync() {
  ++token_;
  doneSeen_ = false;
  Post(QLBR_REQ_SYNC, {&token_, 1});
  if (failure_ != Failure::None) return false;
  const auto got = wire_->WaitFor(*this, [&] { return doneSeen_ || failure_ != Failure::None; });
  if (got != BridgeWire::Wait::Done) Fail(got == BridgeWire::Wait::Gone ? Failure::Gone : Failure::Silent);
  if (failure_ != Failure::None) return false;
  wire_->BoardIdle();
  return true;
}

// --- Replies ---------------------------------------------------------------

void BridgePort::OnFrame(const Frame& frame) {
  switch (frame.type) {
    case QLBR_REP_DATA: {
      if (realigning_) return;
      std::size_t lastFilled = 0;
      for (std::uint8_t byte : frame.Payload()) {
        if (targets_.empty()) {
          // More than was asked for: the board and the PC disagree.
          Miscounted(runBytes_ + 1, runBytes_);
          return;
        }
        targets_.front()[targetFill_++] = byte;
        if (targetFill_ == targets_.front().size()) targets_.pop_front(), targetFill_ = 0;
        while (nextReceived_ < trace_.size() && trace_[nextReceived_].mark != Mark::Received) ++nextReceived_;
        if (nextReceived_ < trace_.size()) {
          trace_[nextReceived_].value = byte;
          trace_[nextReceived_].known = true;
          lastFilled = ++nextReceived_;
        }
      }
      // Everything before a received byte has been moved: the board works in order.
      if (lastFilled > 0) TraceThrough(lastFilled, UINT64_MAX);
      return;
    }
    case QLBR_REP_DONE: {
      const auto token = static_cast<std::uint8_t>(frame.Field(0, 1));
      const std::uint32_t count = frame.Field(1, 4);
      if (blockPending_ && token == blockToken_) return BlockDone(count);
      if (token == token_) doneSeen_ = true, doneCount_ = count;
      // The first SYNC that ends the board's skipping after a fault tells how far it got.
      if (failure_ != Failure::None && !faultCounted_) faultCounted_ = true, faultCount_ = count;
      return;
    }
    case QLBR_REP_STATUS:
      statusSeen_ = true, status_ = static_cast<std::uint8_t>(frame.Field(0, 1));
      return;
    case QLBR_REP_TIMEOUT:
      if (!realigning_ && failure_ == Failure::None) failureValue_ = frame.Field(0, 4), Fail(Failure::CopierTimeout);
      return;
    case QLBR_REP_ERROR:
      if (!realigning_ && failure_ == Failure::None) failureValue_ = frame.Field(0, 1), Fail(Failure::BoardError);
      return;
    default:
      return;  // HELLO or ACK answers of the opening, late
  }
}

void BridgePort::OnCorruptReply() {
  if (!realigning_) Fail(Failure::CorruptReply);
}

void BridgePort::ForgetRun() {
  sends_.clear();
  receives_ = 0;
  targets_.clear();
  targetFill_ = 0;
  runBytes_ = 0;
  runOpen_ = false;
  blockPending_ = false;
  checkpointedBytes_ = 0;
  faultCounted_ = false;
  trace_.clear();
  traced_ = 0;
  tracedBytes_ = 0;
  nextReceived_ = 0;
}

// Writes trace items up to `items`, stopping before byte number `bytes`.
void BridgePort::TraceThrough(std::size_t items, std::uint64_t bytes) {
  if (!LinkTraceOn()) return;
  for (; traced_ < items && traced_ < trace_.size(); ++traced_) {
    const TraceItem& item = trace_[traced_];
    if (item.mark == Mark::Packet) {
      TracePacketStart();
      continue;
    }
    if (tracedBytes_ >= bytes || !item.known) break;
    TraceByte(item.mark == Mark::Sent, item.value);
    ++tracedBytes_;
  }
}
}  // namespace ql::bridge
