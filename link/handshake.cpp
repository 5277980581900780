#include "link/handshake.h"

#include "core/clock.h"
#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "link/link_state.h"
#include "link/link_timeout.h"
#include "link/trace.h"

namespace ql {
namespace {

constexpr std::uint8_t kHandshakeLine = 0x80;  // status bit 7 reads inverted BUSY
constexpr std::uint8_t kStrobeBit = 0;         // control bit 0, only ever inverted

// The one running time-out. The start stamp is taken by the first poll, not
// by the start: a wait that ends at its first status read (the usual case)
// then costs no counter read at all. The time-out still runs a full limit
// from the first unsuccessful status read.
struct TimerState {
  std::uint64_t startStamp = 0;
  std::uint32_t limit = 0;  // milliseconds, or polls left without a counter
  bool stampPending = false;
};
TimerState timer;

[[noreturn]] void RaiseTimeout() {
  if (LinkTraceOn()) TraceTimeout();
  throw LinkTimeout{};
}

PortIo& Port() {
  PortIo* port = link_state::boundPort;
  // Unbound: nothing can answer. Fail the way an absent copier does instead
  // of driving a missing library.
  if (port == nullptr) RaiseTimeout();
  return *port;
}

std::uint16_t Register(std::uint16_t offset) { return static_cast<std::uint16_t>(link_state::lptBase + offset); }

// LinkTimer(-kByteWaitTimeoutMs) without the call: once per nibble of a block.
inline void ArmByteTimeout() {
  if (link_state::ticksPerMs == 0) {
    timer.limit = kPollBudgetWithoutCounter;
  } else {
    timer.limit = static_cast<std::uint32_t>(kByteWaitTimeoutMs);
    timer.stampPending = true;
  }
}

inline void WaitForLevel(PortIo& port, std::uint16_t status, std::uint8_t level) {
  if ((port.PortIn(status) & kHandshakeLine) == level) return;
  do {
    if (LinkTimer(0)) RaiseTimeout();
  } while ((port.PortIn(status) & kHandshakeLine) != level);
}

}  // namespace

bool LinkTimer(std::int32_t ms) {
  const std::uint64_t ticksPerMs = link_state::ticksPerMs;
  if (ms < 0) {
    if (ticksPerMs == 0) {
      timer.limit = kPollBudgetWithoutCounter;  // whatever duration was asked for
    } else {
      timer.limit = static_cast<std::uint32_t>(-static_cast<std::int64_t>(ms));
      timer.stampPending = true;
    }
    return true;
  }
  if (ms == 0) {
    if (ticksPerMs == 0) {
      if (timer.limit > 0) --timer.limit;
      return timer.limit == 0;
    }
    const std::uint64_t now = ActiveClock().ReadCounter();
    if (timer.stampPending) {
      timer.startStamp = now;
      timer.stampPending = false;
    }
    return (now - timer.startStamp) / ticksPerMs >= timer.limit;
  }
  ActiveClock().SleepMs(static_cast<std::uint32_t>(ms));
  return true;
}

void SendByte(std::uint8_t value) {
  PortIo& port = Port();
  const std::uint16_t status = Register(kStatusRegister);
  LinkTimer(-kByteWaitTimeoutMs);
  WaitForLevel(port, status, kHandshakeLine);
  port.PortOut(Register(kDataRegister), value);
  port.NotPortBit(Register(kControlRegister), kStrobeBit);
  port.PortIn(status);  // settles the lines; the value is not used
  if (LinkTraceOn()) TraceByte(true, value);
}

std::uint8_t ReceiveByte() {
  std::uint8_t value = 0;
  ReceiveBytes(&value, 1);
  return value;
}

void ReceiveBytes(std::uint8_t* buffer, std::size_t count) {
  PortIo& port = Port();
  const std::uint16_t status = Register(kStatusRegister);
  const std::uint16_t control = Register(kControlRegister);
  for (std::size_t i = 0; i < count; ++i) {
    // Each half is read from a fresh status read after its wait: the read
    // that ends the wait may have caught the nibble lines still moving.
    ArmByteTimeout();
    WaitForLevel(port, status, 0);
    const std::uint8_t low = (port.PortIn(status) >> 3) & 0x0F;  // bits 3..6: ERROR, SELECT, PAPER-OUT, ACK
    port.NotPortBit(control, kStrobeBit);
    ArmByteTimeout();
    WaitForLevel(port, status, 0);
    const std::uint8_t high = (port.PortIn(status) << 1) & 0xF0;
    port.NotPortBit(control, kStrobeBit);
    buffer[i] = static_cast<std::uint8_t>(high | low);
    if (LinkTraceOn()) TraceByte(false, buffer[i]);
  }
}

void ReportLinkTimeout() {
  const char* console = SelectedDevice == kDeviceSmd ? "Genesis" : "Super NES";
  UI().ShowMessage(
      std::string("LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the ") +
          console + " is turned on.",
      "SWC Interface", MessageIcon::Stop);
}

}  // namespace ql
