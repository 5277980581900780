// An in-process bridge board on the far end of a serial line, driving an
// emulated copier as the firmware drives the DB-25 plug. It works only when
// the PC reads, one frame at a time, so the PC really fills its window and
// lives on credits. Written from the protocol, sharing only its constants.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "bridge/protocol/quillon_bridge.h"
#include "core/clock.h"
#include "emulator/copier.h"
#include "link/ports/serial_line.h"

namespace ql::testing {

class FakeBridgeBoard final : public SerialLine {
 public:
  FakeBridgeBoard(emu::Copier& copier, VirtualClock& clock, std::uint16_t window = 512)
      : copier_(copier), clock_(clock), window_(window) {
    copier_.PortOut(0x378, QLBR_PARK_DATA);
    copier_.PortOut(0x37A, QLBR_PARK_CONTROL);
  }

  // Knobs of a test.
  bool gone = false;                     // the device vanished
  bool mute = false;                     // the firmware hangs: reads nothing, says nothing
  long corruptAt = -1;                   // flips this byte (counted from the first written) on its way in
  std::vector<std::uint8_t> helloReply;  // replaces the HELLO answer when set
  std::string chatter;                   // another device's talk, sent instead of any frame
  std::uint8_t firmwareMinor = 0;        // 1 and on take CHECKPOINT
  long missAt = -1;  // the copier misses the wait for this byte sent (counted from the first), then answers again

  // What the board saw.
  bool overrun = false;
  std::vector<std::uint8_t> requests;  // request types, in order
  std::uint32_t pausedMs = 0;

  bool Write(std::span<const std::uint8_t> bytes) override {
    if (gone) return false;
    for (std::uint8_t byte : bytes)
      rx_.push_back(written_++ == corruptAt ? static_cast<std::uint8_t>(byte ^ 0x10) : byte);
    inFlight_ += static_cast<std::uint32_t>(bytes.size());
    overrun = overrun || (inFlight_ > window_ && helloDone_);
    return true;
  }

  long Read(std::span<std::uint8_t> buffer, int) override {
    if (gone) return -1;
    if (!chatter.empty()) {
      const std::size_t n = std::min(buffer.size(), chatter.size());
      std::copy_n(chatter.begin(), n, buffer.begin());
      return static_cast<long>(n);
    }
    while (!mute && tx_.empty() && Step()) {
    }
    const std::size_t n = std::min(buffer.size(), tx_.size());
    std::copy_n(tx_.begin(), n, buffer.begin());
    tx_.erase(tx_.begin(), tx_.begin() + static_cast<long>(n));
    return static_cast<long>(n);
  }

  bool SetBaud(std::uint32_t) override { return true; }
  void DiscardInput() override {}
  const std::string& Name() const override { return name_; }

 private:
  // Takes one whole frame off the input and carries it out; false when none is there.
  bool Step() {
    while (!rx_.empty() && rx_.front() != QLBR_FRAME_START) Consume(1);
    if (rx_.size() < 3 || rx_.size() < rx_[2] + 5u) return false;
    const std::uint8_t type = rx_[1];
    const std::vector<std::uint8_t> payload(rx_.begin() + 3, rx_.begin() + 3 + rx_[2]);
    std::uint16_t crc = QLBR_CRC_INIT;
    for (std::size_t i = 1; i < 3u + payload.size(); ++i) crc = qlbr_crc_update(crc, rx_[i]);
    const bool intact = (rx_[3 + payload.size()] | rx_[4 + payload.size()] << 8) == crc;
    Consume(payload.size() + 5);
    if (!intact) {
      if (!skipping_) Reply(QLBR_REP_ERROR, {QLBR_ERROR_BAD_CRC});
      skipping_ = true;
      return true;
    }
    requests.push_back(type);
    if (type == QLBR_REQ_SYNC) {
      Done(payload[0]);
      skipping_ = false;
      moved_ = 0;
    } else if (type == QLBR_REQ_HELLO) {
      helloDone_ = true;
      const std::vector<std::uint8_t> ours{
          'Q', 'L', 'B', 'R', QLBR_PROTOCOL_VERSION, 1, firmwareMinor, Byte(window_, 0), Byte(window_, 1)};
      Reply(QLBR_REP_HELLO, helloReply.empty() ? ours : helloReply);
    } else if (!skipping_) {
      Execute(type, payload);
    }
    return true;
  }

  void Execute(std::uint8_t type, const std::vector<std::uint8_t>& payload) {
    switch (type) {
      case QLBR_REQ_SEND:
        for (std::uint8_t byte : payload) {
          if (sent_++ == missAt || !WaitFor(0x80)) return TimedOut();
          copier_.PortOut(0x378, byte);
          copier_.NotPortBit(0x37A, 0);
          copier_.PortIn(0x379);
          ++moved_;
        }
        return;
      case QLBR_REQ_RECEIVE: {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < (payload[0] | payload[1] << 8); ++i) {
          if (!WaitFor(0)) return TimedOut(data);
          const std::uint8_t low = (copier_.PortIn(0x379) >> 3) & 0x0F;
          copier_.NotPortBit(0x37A, 0);
          if (!WaitFor(0)) return TimedOut(data);
          data.push_back(static_cast<std::uint8_t>(((copier_.PortIn(0x379) << 1) & 0xF0) | low));
          copier_.NotPortBit(0x37A, 0);
          ++moved_;
          if (data.size() == QLBR_MAX_PAYLOAD) Reply(QLBR_REP_DATA, data), data.clear();
        }
        if (!data.empty()) Reply(QLBR_REP_DATA, data);
        return;
      }
      case QLBR_REQ_PAUSE:
        pausedMs += payload[0];
        return clock_.AdvanceMs(payload[0]);
      case QLBR_REQ_WRITE_DATA:
        return copier_.PortOut(0x378, payload[0]);
      case QLBR_REQ_WRITE_CONTROL:
        return copier_.PortOut(0x37A, payload[0]);
      case QLBR_REQ_NOT_CONTROL_BIT:
        return copier_.NotPortBit(0x37A, payload[0]);
      case QLBR_REQ_READ_STATUS:
        return Reply(QLBR_REP_STATUS, {copier_.PortIn(0x379)});
      case QLBR_REQ_CHECKPOINT:
        if (firmwareMinor > 0) {
          Done(payload[0]);
          // A count the PC does not share: what follows must not reach the copier.
          skipping_ = (payload[1] | payload[2] << 8 | payload[3] << 16 | std::uint32_t{payload[4]} << 24) != moved_;
          return;
        }
        [[fallthrough]];
      default:
        Reply(QLBR_REP_ERROR, {QLBR_ERROR_BAD_REQUEST});
        skipping_ = true;
    }
  }

  bool WaitFor(std::uint8_t level) {
    std::uint64_t frequency = 0;
    clock_.QueryFrequency(frequency);
    const std::uint64_t start = clock_.ReadCounter();
    while ((copier_.PortIn(0x379) & 0x80) != level) {
      if ((clock_.ReadCounter() - start) * 1000 / frequency >= QLBR_BYTE_TIMEOUT_MS) return false;
    }
    return true;
  }

  // The bytes already received go out first: the time-out's count covers them.
  void TimedOut(const std::vector<std::uint8_t>& received = {}) {
    if (!received.empty()) Reply(QLBR_REP_DATA, received);
    Reply(QLBR_REP_TIMEOUT, {Byte(moved_, 0), Byte(moved_, 1), Byte(moved_, 2), Byte(moved_, 3)});
    skipping_ = true;
  }

  void Done(std::uint8_t token) {
    Reply(QLBR_REP_DONE, {token, Byte(moved_, 0), Byte(moved_, 1), Byte(moved_, 2), Byte(moved_, 3)});
  }

  // Input taken up is credited at once, so a CREDIT always comes before the reply of its frame.
  void Consume(std::size_t count) {
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<long>(count));
    inFlight_ -= std::min<std::uint32_t>(inFlight_, static_cast<std::uint32_t>(count));
    Reply(QLBR_REP_CREDIT, {Byte(count, 0), Byte(count, 1)});
  }

  void Reply(std::uint8_t type, const std::vector<std::uint8_t>& payload) {
    std::uint16_t crc =
        qlbr_crc_update(qlbr_crc_update(QLBR_CRC_INIT, type), static_cast<std::uint8_t>(payload.size()));
    tx_.push_back(QLBR_FRAME_START);
    tx_.push_back(type);
    tx_.push_back(static_cast<std::uint8_t>(payload.size()));
    for (std::uint8_t byte : payload) tx_.push_back(byte), crc = qlbr_crc_update(crc, byte);
    tx_.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    tx_.push_back(static_cast<std::uint8_t>(crc >> 8));
  }

  static std::uint8_t Byte(std::uint64_t value, int index) { return static_cast<std::uint8_t>(value >> (8 * index)); }

  emu::Copier& copier_;
  VirtualClock& clock_;
  std::uint16_t window_;
  std::string name_ = "/dev/ttyFAKE0";
  std::deque<std::uint8_t> rx_;
  std::vector<std::uint8_t> tx_;
  long written_ = 0;
  std::uint32_t inFlight_ = 0;
  std::uint32_t moved_ = 0;
  long sent_ = 0;
  bool skipping_ = false;
  bool helloDone_ = false;
};

}  // namespace ql::testing
