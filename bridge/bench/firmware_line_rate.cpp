// The firmware's speed on its own: a 1 MB SWC upload and a 1 MB read
// through the simulated board at 1,000,000 and 2,000,000 baud with 1 ms of
// USB latency each way, measured in the board's simulated time, so the
// figures do not depend on how busy the host is. The PC is played here in
// the same process, always ready, keeping the window full.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/sim/avr_board.h"
#include "bridge/sim/sim_bridge.h"

namespace {

using ql::bridge::AvrBoard;
using ql::bridge::BridgeSettings;
using ql::bridge::SimulatedBridge;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kStepCycles = 160;  // 10 us
constexpr std::size_t kTotal = 1 << 20;
constexpr std::uint64_t kGiveUpCycles = 60 * AvrBoard::kFrequency;

Bytes Frame(std::uint8_t type, const Bytes& payload) {
  Bytes frame{QLBR_FRAME_START, type, static_cast<std::uint8_t>(payload.size())};
  for (std::uint8_t byte : payload) frame.push_back(byte);
  std::uint16_t crc = QLBR_CRC_INIT;
  for (std::size_t i = 1; i < frame.size(); ++i) crc = qlbr_crc_update(crc, frame[i]);
  frame.push_back(static_cast<std::uint8_t>(crc));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

Bytes Packet(std::uint8_t command, std::uint16_t address, std::uint16_t length) {
  Bytes packet{0xD5,
               0xAA,
               0x96,
               command,
               static_cast<std::uint8_t>(address),
               static_cast<std::uint8_t>(address >> 8),
               static_cast<std::uint8_t>(length),
               static_cast<std::uint8_t>(length >> 8)};
  std::uint8_t check = 0x81;
  for (std::size_t i = 3; i < packet.size(); ++i) check ^= packet[i];
  packet.push_back(check);
  return packet;
}

// A PC that queues request frames and writes them as the window allows.
class Pc {
 public:
  explicit Pc(SimulatedBridge& bridge) : bridge_(bridge) {}

  void Queue(std::uint8_t type, const Bytes& payload) { queued_.push_back(Frame(type, payload)); }
  void QueueSend(const Bytes& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += QLBR_MAX_PAYLOAD)
      Queue(QLBR_REQ_SEND,
            Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + QLBR_MAX_PAYLOAD))));
  }

  // Runs until `dones` DONE frames have come back.
  void RunUntilDone(std::size_t dones) {
    while (dones_ < dones) {
      while (!queued_.empty() && inFlight_ + queued_.front().size() <= window_) {
        inFlight_ += queued_.front().size();
        bridge_.FromPc(queued_.front().data(), queued_.front().size());
        queued_.pop_front();
      }
      if (!bridge_.RunUntil(bridge_.Cycle() + kStepCycles)) throw std::runtime_error("the firmware stopped");
      if (bridge_.Cycle() > kGiveUpCycles)
        throw std::runtime_error("no progress in a minute of simulated time (" +
                                 std::to_string(bridge_.ReceiveOverruns()) + " bytes lost, " +
                                 std::to_string(inFlight_) + " in flight, " + std::to_string(queued_.size()) +
                                 " frames queued, " + std::to_string(dones_) + " replies)");
      bridge_.TakeForPc(input_);
      Parse();
    }
  }

  void SetWindow(std::size_t window) { window_ = window; }
  std::size_t dataBytes = 0;

 private:
  void Parse() {
    std::size_t at = 0;
    while (at + QLBR_FRAME_OVERHEAD <= input_.size()) {
      if (input_[at] != QLBR_FRAME_START) throw std::runtime_error("the board lost step");
      const std::size_t length = input_[at + 2];
      if (at + length + QLBR_FRAME_OVERHEAD > input_.size()) break;
      const std::uint8_t type = input_[at + 1];
      const std::uint8_t* payload = &input_[at + 3];
      if (type == QLBR_REP_CREDIT) inFlight_ -= payload[0] | (payload[1] << 8);
      if (type == QLBR_REP_DATA) dataBytes += length;
      if (type == QLBR_REP_HELLO) window_ = payload[7] | (payload[8] << 8);
      if (type == QLBR_REP_DONE || type == QLBR_REP_ACK || type == QLBR_REP_HELLO) ++dones_;
      if (type == QLBR_REP_TIMEOUT || type == QLBR_REP_ERROR) throw std::runtime_error("the board reported a fault");
      at += length + QLBR_FRAME_OVERHEAD;
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  SimulatedBridge& bridge_;
  std::deque<Bytes> queued_;
  Bytes input_;
  std::size_t window_ = 64;
  std::size_t inFlight_ = 0;
  std::size_t dones_ = 0;
};

void Open(SimulatedBridge& bridge, Pc& pc, std::uint32_t baud, std::size_t& replies) {
  bridge.RunUntil(AvrBoard::kFrequency / 1000);  // past the firmware's start-up
  pc.Queue(QLBR_REQ_HELLO, {});
  pc.RunUntilDone(++replies);
  if (baud != QLBR_DEFAULT_BAUD) {
    pc.Queue(QLBR_REQ_SET_BAUD, {static_cast<std::uint8_t>(baud), static_cast<std::uint8_t>(baud >> 8),
                                 static_cast<std::uint8_t>(baud >> 16), static_cast<std::uint8_t>(baud >> 24)});
    pc.RunUntilDone(++replies);
    pc.Queue(QLBR_REQ_HELLO, {});
    pc.RunUntilDone(++replies);
  }
}

double Seconds(std::uint64_t cycles) { return static_cast<double>(cycles) / AvrBoard::kFrequency; }

void Report(const char* what, std::uint32_t baud, std::uint64_t cycles) {
  const double rate = kTotal / Seconds(cycles);
  std::printf("%-26s %9u baud  %7.1f KB/s  %5.1f%% of the line's %.0f KB/s\n", what, baud, rate / 1000,
              100 * rate / (baud / 10.0), baud / 10.0 / 1000);
}

BridgeSettings Settings() {
  BridgeSettings settings;
  settings.firmwarePath =
      std::getenv("QLBR_BENCH_FIRMWARE") ? std::getenv("QLBR_BENCH_FIRMWARE") : QLBR_DEFAULT_FIRMWARE;
  settings.latencyMs = std::getenv("QLBR_BENCH_LATENCY_MS") ? std::atoi(std::getenv("QLBR_BENCH_LATENCY_MS")) : 1;
  settings.copier.device = ql::emu::Device::Swc;
  return settings;
}

// SWC upload: per 8 KB block, select its page and write it through the
// window at 0x8000 (packet, data, check byte), then a CHECKPOINT with the
// count so far; a SYNC at the end.
void Upload(std::uint32_t baud) {
  SimulatedBridge bridge(Settings());
  Pc pc(bridge);
  std::size_t replies = 0;
  Open(bridge, pc, baud, replies);
  const std::uint64_t start = bridge.Cycle();
  Bytes block(8192);
  std::uint32_t sent = 0;
  for (std::size_t page = 0; page < kTotal / block.size(); ++page) {
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 3 + page);
    Bytes wire = Packet(5, static_cast<std::uint16_t>(page), 0);
    const Bytes write = Packet(0, 0x8000, static_cast<std::uint16_t>(block.size()));
    wire.insert(wire.end(), write.begin(), write.end());
    std::uint8_t check = 0x81;
    for (std::uint8_t byte : block) check ^= byte;
    wire.insert(wire.end(), block.begin(), block.end());
    wire.push_back(check);
    pc.QueueSend(wire);
    sent += wire.size();
    pc.Queue(QLBR_REQ_CHECKPOINT,
             {static_cast<std::uint8_t>(page), static_cast<std::uint8_t>(sent), static_cast<std::uint8_t>(sent >> 8),
              static_cast<std::uint8_t>(sent >> 16), static_cast<std::uint8_t>(sent >> 24)});
    ++replies;
  }
  pc.Queue(QLBR_REQ_SYNC, {0});
  pc.RunUntilDone(++replies);
  Report("SWC upload, 8 KB blocks", baud, bridge.Cycle() - start);
}

// Reads of 16 KB blocks (an SMD cartridge download's size): select the page,
// the read packet, PAUSE 1, RECEIVE of the block and its check byte, PAUSE 1, SYNC.
void Download(std::uint32_t baud) {
  SimulatedBridge bridge(Settings());
  Pc pc(bridge);
  std::size_t replies = 0;
  Open(bridge, pc, baud, replies);
  const std::uint64_t start = bridge.Cycle();
  constexpr std::uint16_t kBlock = 8192;  // the SWC's window; two per 16 KB
  for (std::size_t page = 0; page < kTotal / kBlock; ++page) {
    Bytes wire = Packet(5, static_cast<std::uint16_t>(page % 16), 0);
    const Bytes read = Packet(1, 0x8000, kBlock);
    wire.insert(wire.end(), read.begin(), read.end());
    pc.QueueSend(wire);
    pc.Queue(QLBR_REQ_PAUSE, {1});
    pc.Queue(QLBR_REQ_RECEIVE,
             {static_cast<std::uint8_t>((kBlock + 1) & 0xFF), static_cast<std::uint8_t>((kBlock + 1) >> 8)});
    pc.Queue(QLBR_REQ_PAUSE, {1});
    pc.Queue(QLBR_REQ_SYNC, {static_cast<std::uint8_t>(page)});
    ++replies;
  }
  pc.RunUntilDone(replies);
  if (pc.dataBytes != kTotal + kTotal / kBlock) throw std::runtime_error("bytes went missing");
  Report("read, 8 KB blocks", baud, bridge.Cycle() - start);
}

}  // namespace

int main() {
  try {
    for (std::uint32_t baud : {1'000'000u, 2'000'000u}) {
      Upload(baud);
      Download(baud);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "bench_bridge_firmware: %s\n", failure.what());
    return 1;
  }
  return 0;
}
