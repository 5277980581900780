// A running quillon-bridge-sim for a test, in a scratch folder of its own:
// its pseudo-terminal opened as the PC opens the serial port, frames written
// to it and the board's frames read back, and its wire log parsed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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
  // `dram`, if not empty, is the copier's memory at start (with state=@).
  explicit SimSession(std::string options = "", const std::vector<std::string>& arguments = {}, const Bytes& dram = {});
  ~SimSession();
  SimSession(const SimSession&) = delete;
  SimSession& operator=(const SimSession&) = delete;

  void Write(const Bytes& bytes);
  // A request frame as the PC sends it.
  void Send(std::uint8_t type, const Bytes& payload = {});
  // The next frame of the given type; frames of other types that come first
  // are kept in `skipped`, CREDIT frames are added up in `credited`. Throws
  // after `timeout` or on a frame with a bad CRC.
  Frame Expect(std::uint8_t type, std::chrono::milliseconds timeout = 5s);
  // The bytes moved since the SYNC before, as the DONE answering this one reports.
  std::uint32_t Sync(std::uint8_t token, std::chrono::milliseconds timeout = 5s);

  // Ends the simulator (SIGTERM) so that the copier saves its state; the
  // wire log is complete after this.
  void Stop();
  std::vector<WireEvent> WireLog(bool withReads = true) const;
  // A file the copier wrote into the scratch folder.
  std::string File(const char* name) const;

  std::vector<Frame> skipped;
  std::uint64_t credited = 0;

 private:
  bool TakeFrame(Frame& frame);

  std::filesystem::path folder_;
  pid_t pid_ = -1;
  int pty_ = -1;
  Bytes input_;
};

}  // namespace ql::bridge::testing
