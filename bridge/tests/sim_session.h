// A running quillon-bridge-sim for a test: the process, its pseudo-terminal
// opened as the PC would open the serial port, frames written straight to
// it and the board's frames read back, and its wire log parsed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ql::bridge::testing {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Frame {
  std::uint8_t type = 0;
  Bytes payload;
};

// A request frame as the PC sends it.
Bytes EncodeFrame(std::uint8_t type, const Bytes& payload = {});

// One line of the wire log: what the copier saw, at a simulated time.
struct WireEvent {
  std::uint64_t micros = 0;
  char kind = 0;  // D data written, C control written, S status read
  std::uint8_t value = 0;
  std::uint64_t count = 1;  // status reads in a row
};

class SimSession {
 public:
  // Starts the simulator with these arguments plus a wire log in `folder`.
  SimSession(const std::filesystem::path& folder, const std::vector<std::string>& arguments);
  ~SimSession();
  SimSession(const SimSession&) = delete;
  SimSession& operator=(const SimSession&) = delete;

  void Write(const Bytes& bytes);
  void Send(std::uint8_t type, const Bytes& payload = {}) { Write(EncodeFrame(type, payload)); }
  // The next frame of the given type; frames of other types that come first
  // are kept in Skipped(), CREDIT frames are added up in Credited(). Throws
  // std::runtime_error after `timeout` or on a frame with a bad CRC.
  Frame Expect(std::uint8_t type, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
  // Every frame that arrives within `window`.
  std::vector<Frame> Collect(std::chrono::milliseconds window);
  const std::vector<Frame>& Skipped() const { return skipped_; }
  std::uint64_t Credited() const { return credited_; }

  // Ends the simulator (SIGTERM) so that the copier saves its state; the
  // wire log is complete after this.
  void Stop();
  std::vector<WireEvent> WireLog() const;

 private:
  bool ReadSome(Clock::time_point deadline);
  bool TakeFrame(Frame& frame);

  pid_t pid_ = -1;
  int pty_ = -1;
  std::filesystem::path wireLog_;
  Bytes input_;
  std::vector<Frame> skipped_;
  std::uint64_t credited_ = 0;
};

// A folder of its own under the system's temporary folder, removed at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t offset);

}  // namespace ql::bridge::testing
