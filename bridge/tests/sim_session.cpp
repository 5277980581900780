#include "bridge/tests/sim_session.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "bridge/protocol/quillon_bridge.h"

// simavr does not free all it allocates for a core and its firmware image;
// its own blocks, not ours, and the test process ends soon after.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsimavr\n"; }

namespace ql::bridge::testing {
namespace {

constexpr std::uint64_t kCyclesPerMs = AvrBoard::kFrequency / 1000;
constexpr std::uint64_t kSliceCycles = kCyclesPerMs / 10;

// Over type, length and payload: everything after the start byte.
std::uint16_t FrameCrc(const std::uint8_t* bytes, std::size_t count) {
  std::uint16_t crc = QLBR_CRC_INIT;
  for (std::size_t i = 0; i < count; ++i) crc = qlbr_crc_update(crc, bytes[i]);
  return crc;
}

}  // namespace

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8) | bytes.at(offset + i);
  return value;
}

std::string Text(const std::vector<WireEvent>& events) {
  std::string text;
  for (const WireEvent& event : events) {
    char item[8];
    std::snprintf(item, sizeof item, "%c%02X", event.kind, event.value);
    text += (text.empty() ? "" : " ") + std::string(item);
    if (event.count > 1) text += "x" + std::to_string(event.count);
  }
  return text;
}

SimSession::SimSession(std::string options, const Bytes& dram, std::uint64_t corruptByte) {
  std::string folder = (std::filesystem::temp_directory_path() / "quillon-bridge-XXXXXX").string();
  if (!mkdtemp(folder.data())) throw std::runtime_error("cannot make a scratch folder");
  folder_ = folder;
  if (!dram.empty())
    std::ofstream(folder_ / "dram.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(dram.data()), static_cast<std::streamsize>(dram.size()));
  if (const auto at = options.find('@'); at != std::string::npos) options.replace(at, 1, folder);
  BridgeSettings settings;
  settings.firmwarePath = QLBR_FIRMWARE_ELF;
  settings.wireLogPath = (folder_ / "wire.log").string();
  settings.corruptByte = corruptByte;
  std::string error;
  if (!emu::ParseOptions(options, settings.copier, error)) throw std::runtime_error(error);
  bridge_ = std::make_unique<SimulatedBridge>(settings);
  bridge_->RunUntil(kCyclesPerMs);  // past the firmware's start-up
}

SimSession::~SimSession() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string SimSession::File(const char* name) const {
  std::ifstream in(folder_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SimSession::Send(std::uint8_t type, const Bytes& payload) {
  Bytes frame{QLBR_FRAME_START, type, static_cast<std::uint8_t>(payload.size())};
  Append(frame, payload);
  const std::uint16_t crc = FrameCrc(frame.data() + 1, frame.size() - 1);
  frame.push_back(static_cast<std::uint8_t>(crc));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  Write(frame);
}

bool SimSession::TakeFrame(Frame& frame) {
  while (!input_.empty() && input_.front() != QLBR_FRAME_START) input_.erase(input_.begin());
  if (input_.size() < QLBR_FRAME_OVERHEAD) return false;
  const std::size_t length = input_[2];
  if (input_.size() < length + QLBR_FRAME_OVERHEAD) return false;
  const std::uint16_t crc = FrameCrc(input_.data() + 1, 2 + length);
  if (input_[3 + length] != (crc & 0xFF) || input_[4 + length] != (crc >> 8))
    throw std::runtime_error("the board sent a frame with a bad CRC");
  frame.type = input_[1];
  frame.payload.assign(input_.begin() + 3, input_.begin() + 3 + static_cast<std::ptrdiff_t>(length));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length + QLBR_FRAME_OVERHEAD));
  if (frame.type == QLBR_REP_CREDIT && frame.payload.size() == 2)
    credited += frame.payload[0] | (frame.payload[1] << 8);
  return true;
}

Frame SimSession::Expect(std::uint8_t type, std::chrono::milliseconds timeout) {
  const std::uint64_t deadline = bridge_->Cycle() + static_cast<std::uint64_t>(timeout.count()) * kCyclesPerMs;
  for (;;) {
    Frame frame;
    while (TakeFrame(frame)) {
      if (frame.type == type) return frame;
      if (frame.type != QLBR_REP_CREDIT) skipped.push_back(frame);
    }
    if (bridge_->Cycle() >= deadline || !bridge_->RunUntil(bridge_->Cycle() + kSliceCycles))
      throw std::runtime_error("no frame of type " + std::to_string(type) + " from the board");
    bridge_->TakeForPc(input_);
  }
}

std::uint32_t SimSession::Sync(std::uint8_t token) {
  Send(QLBR_REQ_SYNC, {token});
  const Frame done = Expect(QLBR_REP_DONE);
  if (done.payload.size() != QLBR_LEN_REP_DONE || done.payload[0] != token)
    throw std::runtime_error("a DONE that does not answer SYNC " + std::to_string(token));
  return LittleEndian32(done.payload, 1);
}

void SimSession::Idle(std::chrono::milliseconds time) {
  bridge_->RunUntil(bridge_->Cycle() + static_cast<std::uint64_t>(time.count()) * kCyclesPerMs);
  bridge_->TakeForPc(input_);
}

std::vector<WireEvent> SimSession::WireLog(bool withReads) const {
  std::ifstream in(folder_ / "wire.log");
  std::vector<WireEvent> events;
  for (std::string line; std::getline(in, line);) {
    WireEvent event;
    unsigned value = 0;
    std::sscanf(line.c_str(), "%" SCNu64 " %c %x x%" SCNu64, &event.micros, &event.kind, &value, &event.count);
    event.value = static_cast<std::uint8_t>(value);
    if (event.kind == 'S' && !withReads) continue;
    // A run of reads may be cut in two where the log was written out.
    if (!events.empty() && event.kind == 'S' && events.back().kind == 'S' && events.back().value == event.value)
      events.back().count += event.count;
    else
      events.push_back(event);
  }
  return events;
}

}  // namespace ql::bridge::testing
