// Moving single bytes under the copier's handshake, each wait bounded by a
// fresh 500 ms time-out that raises LinkTimeout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ql {

constexpr std::int32_t kByteWaitTimeoutMs = 500;
constexpr std::uint32_t kPollBudgetWithoutCounter = 0x200000;

// ms < 0: start a time-out of -ms; ms == 0: poll it (true = expired); ms > 0: sleep.
bool LinkTimer(std::int32_t ms);
void SendByte(std::uint8_t value);
std::uint8_t ReceiveByte();
// count bytes, each moved exactly as ReceiveByte moves it (for block reads).
void ReceiveBytes(std::uint8_t* buffer, std::size_t count);
// The time-out message of the selected device.
void ReportLinkTimeout();

}  // namespace ql
