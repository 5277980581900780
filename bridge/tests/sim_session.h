// The simulated bridge in the test's own process, in a scratch folder of its
// own: frames written to the board's serial line and the board's frames read
// back, in the board's simulated time, and the wire log parsed.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bridge/sim/sim_bridge.h"

namespace ql::bridge::testing {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Byte by byte: GCC 12 warns falsely about inserting into a short vector.
inline void Append(Bytes& to, const Bytes& more) {
  for (std::uint8_t byte : more) to.push_back(byte);
}

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t offset);

struct Frame {
  std::uint8_t type = 0;
  Bytes payload;
};

// One line of the wire log: what the copier saw, at a simulated time.
struct WireEvent {
  std::uint64_t micros = 0;
  char kind = 0;  // D data written, C control written, S status read
  std::uint8_t value = 0;
  std::uint64_t count = 1;  // status reads in a row
};

// "C0C DA5 S80x2": kind, value, and the length of a run of reads.
std::string Text(const std::vector<WireEvent>& events);

class SimSession {
 public:
  // `options` are the emulator's, with @ standing for the scratch folder;
  // `dram`, if not empty, is the copier's memory at start (with state=@);
  // `corruptByte` flips a bit of that byte from the PC (from 1).
  explicit SimSession(std::string options = "", const Bytes& dram = {}, std::uint64_t corruptByte = 0);
  ~SimSession();
  SimSession(const SimSession&) = delete;
  SimSession& operator=(const SimSession&) = delete;

  void Write(const Bytes& bytes) { bridge_->FromPc(bytes.data(), bytes.size()); }
  // A request frame as the PC sends it.
  void Send(std::uint8_t type, const Bytes& payload = {});
  // The next frame of the given type; frames of other types that come first
  // are kept in `skipped`, CREDIT frames are added up in `credited`. Throws
  // after `timeout` of simulated time or on a frame with a bad CRC.
  Frame Expect(std::uint8_t type, std::chrono::milliseconds timeout = 5s);
  // The bytes moved since the SYNC before, as the DONE answering this one reports.
  std::uint32_t Sync(std::uint8_t token);
  // The PC says nothing for this long.
  void Idle(std::chrono::milliseconds time);

  // Ends the simulation so that the copier saves its state; the wire log is
  // complete after this.
  void Stop() { bridge_.reset(); }
  std::vector<WireEvent> WireLog(bool withReads = true) const;
  // A file the copier wrote into the scratch folder.
  std::string File(const char* name) const;

  std::vector<Frame> skipped;
  std::uint64_t credited = 0;

 private:
  bool TakeFrame(Frame& frame);

  std::filesystem::path folder_;
  std::unique_ptr<SimulatedBridge> bridge_;
  Bytes input_;
};

}  // namespace ql::bridge::testing
