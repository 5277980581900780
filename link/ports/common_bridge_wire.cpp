#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_wire.h"

namespace ql::bridge {
namespace {

// Kept free of the window: a CREDIT that comes after the DONE it belongs to
// must not let the PC overrun the board.
constexpr std::uint32_t kWindowReserve = QLBR_CREDIT_BATCH;
// Written out as soon as this much is queued, so that the board starts
// working while the PC builds the rest.
constexpr std::size_t kFlushAt = 256;
constexpr std::uint32_t kReceiveWaitMs = 2 * QLBR_BYTE_TIMEOUT_MS;  // two nibbles

// The longest the board may be busy with a request before it reports anything.
std::uint32_t WorkMs(std::uint8_t type, std::span<const std::uint8_t> payload) {
  switch (type) {
    case QLBR_REQ_SEND:
      return static_cast<std::uint32_t>(payload.size()) * QLBR_BYTE_TIMEOUT_MS;
    case QLBR_REQ_RECEIVE: {
      const std::uint32_t count = payload.size() >= 2 ? payload[0] | (payload[1] << 8) : 0;
      return std::min<std::uint32_t>(count, QLBR_MAX_PAYLOAD) * kReceiveWaitMs;
    }
    case QLBR_REQ_PAUSE:
      return payload.empty() ? 0 : payload[0];
    default:
      return 0;
  }
}

}  // namespace

BridgeWire::BridgeWire(std::unique_ptr<SerialLine> line) : line_(std::move(line)) {
  out_.reserve(2 * kFlushAt);
  // A simulated board runs slower than real time; its harness says how much.
  if (const char* scale = std::getenv("QUILLON_BRIDGE_TIME_SCALE")) timeScale_ = std::max(1, std::atoi(scale));
}

std::uint32_t BridgeWire::Room() const {
  const std::uint32_t room = window_ > 2 * kWindowReserve ? window_ - kWindowReserve : window_;
  return room > inFlight_ ? room - inFlight_ : 0;
}

BridgeWire::Wait BridgeWire::Post(std::uint8_t type, std::span<const std::uint8_t> payload, FrameSink& sink) {
  const std::uint32_t cost = static_cast<std::uint32_t>(payload.size()) + QLBR_FRAME_OVERHEAD;
  const std::uint32_t room = window_ > 2 * kWindowReserve ? window_ - kWindowReserve : window_;
  while (window_ != 0 && inFlight_ + cost > room && inFlight_ > 0) {
    if (!Flush()) return Wait::Gone;
    const Wait got = ReadSome(sink, BoundMs());
    if (got != Wait::Done) return got;
  }
  AppendFrame(out_, type, payload);
  const std::uint32_t work = WorkMs(type, payload);
  inFlight_ += cost;
  workMs_ += work;
  posted_.push_back({cost, work});
  if (type == QLBR_REQ_RECEIVE && payload.size() >= 2) receiveLeft_ += payload[0] | (payload[1] << 8);
  if (out_.size() >= kFlushAt && !Flush()) return Wait::Gone;
  return Wait::Done;
}

bool BridgeWire::Flush() {
  if (out_.empty()) return true;
  const bool written = line_->Write(out_);
  out_.clear();
  return written;
}

BridgeWire::Wait BridgeWire::ReadSome(FrameSink& sink, int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const long count = line_->Read(in_, static_cast<int>(std::max<long long>(left, 0)));
    if (count < 0) return Wait::Gone;
    if (count == 0) return Wait::Quiet;
    bool framed = false;
    for (long i = 0; i < count; ++i) {
      switch (decoder_.Push(in_[static_cast<std::size_t>(i)])) {
        case FrameDecoder::Result::Pending:
          break;
        case FrameDecoder::Result::BadCrc:
          framed = true;
          sink.OnCorruptReply();
          break;
        case FrameDecoder::Result::Complete: {
          framed = true;
          const Frame& frame = decoder_.Last();
          if (frame.type == QLBR_REP_CREDIT) {
            Credit(frame.Field(0, 2));
          } else {
            if (frame.type == QLBR_REP_DATA) receiveLeft_ -= std::min<std::uint32_t>(receiveLeft_, frame.length);
            sink.OnFrame(frame);
          }
          break;
        }
      }
    }
    if (framed) return Wait::Done;
    if (left <= 0) return Wait::Quiet;
  }
}

void BridgeWire::Credit(std::uint32_t bytes) {
  inFlight_ -= std::min(inFlight_, bytes);
  // The board frees a request when it takes it up: the last ones freed may
  // still be under way.
  currentWorkMs_ = 0;
  while (bytes > 0 && !posted_.empty()) {
    Posted& front = posted_.front();
    const std::uint32_t taken = std::min(front.cost, bytes);
    front.cost -= taken;
    bytes -= taken;
    if (front.cost == 0) {
      workMs_ -= front.workMs;
      currentWorkMs_ += front.workMs;
      posted_.pop_front();
    }
  }
}

void BridgeWire::BoardIdle() {
  inFlight_ = 0;
  posted_.clear();
  workMs_ = 0;
  currentWorkMs_ = 0;
  receiveLeft_ = 0;
}

// The longest the board's own time-outs let it work on what it holds before
// it reports anything, and a margin on top.
int BridgeWire::BoundMs() const {
  const std::uint64_t work =
      workMs_ + currentWorkMs_ + std::min<std::uint64_t>(receiveLeft_, QLBR_MAX_PAYLOAD) * kReceiveWaitMs;
  const std::uint64_t ms = static_cast<std::uint64_t>(marginMs_) + static_cast<std::uint64_t>(timeScale_) * work;
  return static_cast<int>(std::min<std::uint64_t>(ms, INT_MAX));
}

}  // namespace ql::bridge
