// What the bridge port does when a run goes wrong: the copier stopped (the
// board's TIMEOUT), the board refused or lost a request, a reply came
// damaged, or the board fell silent. The trace is cut where the copier
// stopped, the board is realigned, and the failure comes out as LinkTimeout
// at the next run, with a message where the copier is not to blame.
#include "bridge/protocol/quillon_bridge.h"
#include "core/front_end.h"
#include "link/link_timeout.h"
#include "link/ports/bridge_port.h"
#include "link/ports/bridge_text.h"
#include "link/trace.h"

namespace ql::bridge {
namespace {

constexpr int kRealignAttempts = 3;
// The board drops a half-read frame after 1 s of silence; a SYNC swallowed
// by a corrupted length gets through on the next attempt.
constexpr int kRealignWaitMs = QLBR_SILENCE_MS + 500;

}  // namespace

void BridgePort::Fail(Failure failure) {
  if (failure_ == Failure::None || failure == Failure::Gone) failure_ = failure;
}

void BridgePort::Miscounted(std::uint64_t reported, std::uint64_t sent) {
  if (failure_ != Failure::None) return;
  failureValue_ = static_cast<std::uint32_t>(reported);
  failureSent_ = sent;
  Fail(Failure::Miscount);
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
  // Counts since the last SYNC, as the trace's: a CHECKPOINT does not restart them.
  std::uint64_t moved = failure == Failure::CopierTimeout ? failureValue_ : tracedBytes_;
  if (failure != Failure::CopierTimeout) UI().ShowMessage(FailureText(), "SWC Interface", MessageIcon::Stop);
  if (failure == Failure::Gone || failure == Failure::Silent) {
    dead_ = true;
  } else if (Realign() && failure != Failure::CopierTimeout && failure != Failure::Miscount && faultCounted_) {
    moved = faultCount_;  // what the board moved before the failure
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
    const auto got = wire_->WaitFor(
        *this, [&] { return doneSeen_; }, kRealignWaitMs);
    if (got == BridgeWire::Wait::Gone) dead_ = true;
    done = doneSeen_;
  }
  if (done) wire_->BoardIdle();
  if (!done && !dead_) {
    dead_ = true;
    UI().ShowMessage(Cat("USB bridge on ", wire_->Line().Name(),
                         ": the board does not answer any more. Unplug it and plug it in again."),
                     "SWC Interface", MessageIcon::Stop);
  }
  realigning_ = false;
  return done;
}

std::string BridgePort::FailureText() const {
  const std::string& device = wire_->Line().Name();
  switch (failure_) {
    case Failure::BoardError:
      switch (failureValue_) {
        case QLBR_ERROR_BAD_CRC:
          return Cat(
              "USB bridge on ", device,
              ": a request was damaged on the serial line and was not passed to the copier. Check the USB cable.");
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
      return Cat("USB bridge on ", device, ": the board reports ", failureValue_, " bytes moved where ", failureSent_,
                 " were sent; the copier may hold a partial block.");
    case Failure::Silent:
      return Cat("USB bridge on ", device, ": no answer from the board within ", (wire_->BoundMs() + 999) / 1000,
                 " s. Is it still plugged in?");
    case Failure::Gone:
      return Cat("USB bridge on ", device, ": the serial device is gone (unplugged?).");
    default:
      return "USB bridge: the copier did not answer.";
  }
}

}  // namespace ql::bridge
