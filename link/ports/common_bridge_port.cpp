#include <algorithm>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_text.h"
#include "core/front_end.h"
#include "link/link_timeout.h"
#include "link/ports/bridge_port.h"
#include "link/trace.h"

namespace ql::bridge {
namespace {

constexpr std::uint32_t kMaxReceive = 0xFFFF;
constexpr int kRealignAttempts = 3;
// The board drops a half-read frame after 1 s of silence; a SYNC swallowed
// by a corrupted length gets through on the next attempt.
constexpr int kRealignWaitMs = QLBR_SILENCE_MS + 500;
constexpr std::uint8_t kStrobeBit = 0;
// Below this a frame's five bytes of overhead cost more than the wait saves.
constexpr std::size_t kShortestFill = 32;

std::uint16_t Register(std::uint16_t port) { return static_cast<std::uint16_t>(port & 3); }

}  // namespace

BridgePort::BridgePort(std::unique_ptr<BridgeWire> wire, const BridgeInfo& info)
    : wire_(std::move(wire)), info_(info) {
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
      failureValue_ = doneCount_;
      Fail(Failure::Miscount);
    } else {
      TraceThrough(trace_.size(), runBytes_);
      ForgetRun();
    }
  }
  ThrowIfFailed();
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
  const std::uint8_t count[2] = {static_cast<std::uint8_t>(receives_ & 0xFF), static_cast<std::uint8_t>(receives_ >> 8)};
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
          failureValue_ = static_cast<std::uint32_t>(runBytes_ + 1);
          Fail(Failure::Miscount);
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
    case QLBR_REP_DONE:
      if (frame.Field(0, 1) == token_) doneSeen_ = true, doneCount_ = frame.Field(1, 4);
      return;
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

// --- Failures --------------------------------------------------------------

void BridgePort::Fail(Failure failure) {
  if (failure_ == Failure::None || failure == Failure::Gone) failure_ = failure;
}

void BridgePort::ThrowIfFailed() {
  if (dead_ && failure_ == Failure::None) {
    // Every operation on a board that is gone fails as an absent copier does.
    if (LinkTraceOn()) TraceTimeout();
    throw LinkTimeout{};
  }
  if (failure_ != Failure::None) Settle();
  if (owed_) {
    owed_ = false;
    throw LinkTimeout{};
  }
}

void BridgePort::Settle() {
  const Failure failure = failure_;
  std::uint64_t moved = failure == Failure::CopierTimeout ? failureValue_ : tracedBytes_;
  if (failure != Failure::CopierTimeout) UI().ShowMessage(FailureText(), "SWC Interface", MessageIcon::Stop);
  if (failure == Failure::Gone || failure == Failure::Silent) {
    dead_ = true;
  } else if (Realign() && failure != Failure::CopierTimeout && failure != Failure::Miscount) {
    moved = doneCount_;  // what the board moved before the failure
  }
  // The copier moved exactly what the board counted; the trace stops there.
  TraceThrough(trace_.size(), moved);
  if (LinkTraceOn()) TraceTimeout();
  ForgetRun();
  failure_ = Failure::None;
  owed_ = true;
}

// After TIMEOUT or ERROR the board skips every request up to a SYNC.
bool BridgePort::Realign() {
  realigning_ = true;
  bool done = false;
  for (int attempt = 0; attempt < kRealignAttempts && !done && !dead_; ++attempt) {
    ++token_;
    doneSeen_ = false;
    if (wire_->Post(QLBR_REQ_SYNC, {&token_, 1}, *this) == BridgeWire::Wait::Gone || !wire_->Flush()) {
      dead_ = true;
      break;
    }
    const auto got = wire_->WaitFor(*this, [&] { return doneSeen_; }, kRealignWaitMs);
    if (got == BridgeWire::Wait::Gone) dead_ = true;
    done = doneSeen_;
  }
  if (done) wire_->BoardIdle();
  if (!done && !dead_) {
    dead_ = true;
    UI().ShowMessage(Cat("USB bridge on ", wire_->Line().Name(), ": the board does not answer any more. Unplug it and plug it in again."),
                     "SWC Interface", MessageIcon::Stop);
  }
  realigning_ = false;
  return done;
}

void BridgePort::ForgetRun() {
  sends_.clear();
  receives_ = 0;
  targets_.clear();
  targetFill_ = 0;
  runBytes_ = 0;
  runOpen_ = false;
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

std::string BridgePort::FailureText() const {
  const std::string& device = wire_->Line().Name();
  switch (failure_) {
    case Failure::BoardError:
      switch (failureValue_) {
        case QLBR_ERROR_BAD_CRC:
          return Cat("USB bridge on ", device, ": a request was damaged on the serial line and was not passed to the copier. Check the USB cable.");
        case QLBR_ERROR_OVERRUN:
          return Cat("USB bridge on ", device, ": the board's buffer overflowed.");
        case QLBR_ERROR_SILENCE:
          return Cat("USB bridge on ", device, ": the board heard nothing for a while and parked the lines.");
        default:
          return Cat("USB bridge on ", device, ": the board refused a request (error ", failureValue_, ").");
      }
    case Failure::CorruptReply:
      return Cat("USB bridge on ", device, ": a reply was damaged on the serial line. Check the USB cable.");
    case Failure::Miscount:
      return Cat("USB bridge on ", device, ": the board reports ", failureValue_, " bytes moved where ", runBytes_, " were sent; the copier may hold a partial block.");
    case Failure::Silent:
      return Cat("USB bridge on ", device, ": no answer from the board within ", (wire_->BoundMs() + 999) / 1000, " s. Is it still plugged in?");
    case Failure::Gone:
      return Cat("USB bridge on ", device, ": the serial device is gone (unplugged?).");
    default:
      return "USB bridge: the copier did not answer.";
  }
}

}  // namespace ql::bridge
