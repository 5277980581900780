#include "bridge/tests/sim_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "bridge/protocol/quillon_bridge.h"

namespace ql::bridge::testing {
namespace {

using Clock = std::chrono::steady_clock;

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

SimSession::SimSession(std::string options, const std::vector<std::string>& arguments, const Bytes& dram) {
  std::string folder = (std::filesystem::temp_directory_path() / "quillon-bridge-XXXXXX").string();
  if (!mkdtemp(folder.data())) throw std::runtime_error("cannot make a scratch folder");
  folder_ = folder;
  if (!dram.empty())
    std::ofstream(folder_ / "dram.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(dram.data()), static_cast<std::streamsize>(dram.size()));
  if (const auto at = options.find('@'); at != std::string::npos) options.replace(at, 1, folder);
  std::vector<std::string> all{QLBR_SIM_PATH, "--wire-log", (folder_ / "wire.log").string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  if (!options.empty()) all.push_back(options);
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  // The simulator prints its pseudo-terminal's path, then runs until stopped;
  // one that fails to start closes the pipe instead.
  FILE* printed = fdopen(out[0], "r");
  char path[256] = "";
  if (!std::fgets(path, sizeof path, printed)) path[0] = 0;
  std::fclose(printed);
  path[std::strcspn(path, "\n")] = 0;
  pty_ = path[0] ? open(path, O_RDWR | O_NOCTTY) : -1;
  if (pty_ < 0) {
    Stop();
    std::filesystem::remove_all(folder_);
    throw std::runtime_error("cannot open the pseudo-terminal of " + all[0] + ": '" + path + "'");
  }
  termios settings{};
  tcgetattr(pty_, &settings);
  cfmakeraw(&settings);
  tcsetattr(pty_, TCSANOW, &settings);
}

SimSession::~SimSession() {
  Stop();
  if (pty_ >= 0) close(pty_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void SimSession::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
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

void SimSession::Write(const Bytes& bytes) {
  if (write(pty_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("cannot write to the simulator");
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
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    Frame frame;
    while (TakeFrame(frame)) {
      if (frame.type == type) return frame;
      if (frame.type != QLBR_REP_CREDIT) skipped.push_back(frame);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{pty_, POLLIN, 0};
    std::uint8_t buffer[4096];
    const ssize_t n = left > 0 && poll(&p, 1, static_cast<int>(left)) > 0 ? read(pty_, buffer, sizeof buffer) : 0;
    if (n <= 0) throw std::runtime_error("no frame of type " + std::to_string(type) + " from the board");
    input_.insert(input_.end(), buffer, buffer + n);
  }
}

std::uint32_t SimSession::Sync(std::uint8_t token, std::chrono::milliseconds timeout) {
  Send(QLBR_REQ_SYNC, {token});
  const Frame done = Expect(QLBR_REP_DONE, timeout);
  if (done.payload.size() != QLBR_LEN_REP_DONE || done.payload[0] != token)
    throw std::runtime_error("a DONE that does not answer SYNC " + std::to_string(token));
  return LittleEndian32(done.payload, 1);
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
