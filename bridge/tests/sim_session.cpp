#include "bridge/tests/sim_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bridge/protocol/quillon_bridge.h"

extern char** environ;

namespace ql::bridge::testing {
namespace {

std::string ReadLine(int fd, std::chrono::milliseconds timeout) {
  std::string line;
  const auto deadline = Clock::now() + timeout;
  char c = 0;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  throw std::runtime_error("the simulator printed no pseudo-terminal path");
}

}  // namespace

Bytes EncodeFrame(std::uint8_t type, const Bytes& payload) {
  // Built byte by byte: GCC 12 warns falsely about inserting into a short vector.
  Bytes frame;
  frame.reserve(payload.size() + QLBR_FRAME_OVERHEAD);
  frame.push_back(QLBR_FRAME_START);
  frame.push_back(type);
  frame.push_back(static_cast<std::uint8_t>(payload.size()));
  for (std::uint8_t byte : payload) frame.push_back(byte);
  std::uint16_t crc = QLBR_CRC_INIT;
  for (std::size_t i = 1; i < frame.size(); ++i) crc = qlbr_crc_update(crc, frame[i]);
  frame.push_back(static_cast<std::uint8_t>(crc));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

SimSession::SimSession(const std::filesystem::path& folder, const std::vector<std::string>& arguments)
    : wireLog_(folder / "wire.log") {
  std::vector<std::string> all{QLBR_SIM_PATH, "--wire-log", wireLog_.string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    throw std::runtime_error("cannot start " + all[0]);
  }
  std::string path;
  try {
    path = ReadLine(out[0], std::chrono::seconds(20));
  } catch (...) {
    close(out[0]);
    Stop();
    throw;
  }
  close(out[0]);
  pty_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (pty_ < 0) {
    Stop();
    throw std::runtime_error("cannot open " + path);
  }
  termios settings{};
  tcgetattr(pty_, &settings);
  cfmakeraw(&settings);
  tcsetattr(pty_, TCSANOW, &settings);
}

SimSession::~SimSession() {
  Stop();
  if (pty_ >= 0) close(pty_);
}

void SimSession::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void SimSession::Write(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(pty_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{pty_, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
}

bool SimSession::ReadSome(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  pollfd p{pty_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
  std::uint8_t buffer[4096];
  const ssize_t n = read(pty_, buffer, sizeof buffer);
  if (n <= 0) return false;
  input_.insert(input_.end(), buffer, buffer + n);
  return true;
}

bool SimSession::TakeFrame(Frame& frame) {
  while (!input_.empty() && input_.front() != QLBR_FRAME_START) input_.erase(input_.begin());
  if (input_.size() < QLBR_FRAME_OVERHEAD) return false;
  const std::size_t length = input_[2];
  if (input_.size() < length + QLBR_FRAME_OVERHEAD) return false;
  std::uint16_t crc = QLBR_CRC_INIT;
  for (std::size_t i = 1; i < 3 + length; ++i) crc = qlbr_crc_update(crc, input_[i]);
  if (input_[3 + length] != (crc & 0xFF) || input_[4 + length] != (crc >> 8))
    throw std::runtime_error("the board sent a frame with a bad CRC");
  frame.type = input_[1];
  frame.payload.assign(input_.begin() + 3, input_.begin() + 3 + static_cast<std::ptrdiff_t>(length));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(length + QLBR_FRAME_OVERHEAD));
  if (frame.type == QLBR_REP_CREDIT && frame.payload.size() == 2) credited_ += frame.payload[0] | (frame.payload[1] << 8);
  return true;
}

Frame SimSession::Expect(std::uint8_t type, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    Frame frame;
    while (TakeFrame(frame)) {
      if (frame.type == type) return frame;
      if (frame.type != QLBR_REP_CREDIT) skipped_.push_back(frame);
    }
    if (!ReadSome(deadline)) {
      char text[64];
      std::snprintf(text, sizeof text, "no frame of type 0x%02X from the board", type);
      throw std::runtime_error(text);
    }
  }
}

std::vector<Frame> SimSession::Collect(std::chrono::milliseconds window) {
  const auto deadline = Clock::now() + window;
  std::vector<Frame> frames;
  for (;;) {
    Frame frame;
    while (TakeFrame(frame)) frames.push_back(frame);
    if (!ReadSome(deadline) && Clock::now() >= deadline) return frames;
  }
}

std::vector<WireEvent> SimSession::WireLog() const {
  std::ifstream in(wireLog_);
  std::vector<WireEvent> events;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    WireEvent event;
    std::string value;
    fields >> event.micros >> event.kind >> value;
    event.value = static_cast<std::uint8_t>(std::stoul(value, nullptr, 16));
    std::string count;
    if (fields >> count && count.size() > 1) event.count = std::stoull(count.substr(1));
    // A run of reads may be cut in two where the log was written out.
    if (!events.empty() && event.kind == 'S' && events.back().kind == 'S' && events.back().value == event.value)
      events.back().count += event.count;
    else
      events.push_back(event);
  }
  return events;
}

ScratchFolder::ScratchFolder(const std::string& name) {
  path_ = std::filesystem::temp_directory_path() / ("quillon-bridge-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::uint32_t LittleEndian32(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8) | bytes.at(offset + i);
  return value;
}

}  // namespace ql::bridge::testing
