// A serial device through termios: raw 8N1, no flow control, reads that
// wait with poll().
#include <asm/termbits.h>
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/ports/bridge_open.h"
#include "link/ports/bridge_text.h"
#include "link/ports/serial_line.h"

namespace ql {
namespace {

class TermiosLine final : public SerialLine {
 public:
  TermiosLine(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  ~TermiosLine() override { ::close(fd_); }

  bool Write(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EAGAIN) {
        pollfd wait{fd_, POLLOUT, 0};
        if (::poll(&wait, 1, 5000) <= 0) return false;
      } else if (n < 0 && errno != EINTR) {
        return false;
      }
    }
    return true;
  }

  long Read(std::span<std::uint8_t> buffer, int timeoutMs) override {
    pollfd wait{fd_, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&wait, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    if ((wait.revents & POLLIN) == 0) return -1;  // hung up: unplugged
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return n == 0 ? -1 : n;
  }

  bool SetBaud(std::uint32_t baud) override {
    // Drain first: what was written goes out at the old rate.
    ::ioctl(fd_, TCSBRK, 1);
    termios2 tio{};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = tio.c_ospeed = baud;
    return ::ioctl(fd_, TCSETS2, &tio) == 0;
  }

  void DiscardInput() override { ::ioctl(fd_, TCFLSH, TCIFLUSH); }
  const std::string& Name() const override { return name_; }

  bool MakeRaw(std::uint32_t baud) {
    termios2 tio{};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return false;
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CS8 | CREAD | CLOCAL | BOTHER;
    tio.c_ispeed = tio.c_ospeed = baud;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return ::ioctl(fd_, TCSETS2, &tio) == 0;
  }

 private:
  int fd_;
  std::string name_;
};

std::string PresentList() {
  std::string list;
  for (const std::string& device : bridge::BridgeCandidates()) list += " " + device;
  return list.empty() ? " none" : list;
}

}  // namespace

std::unique_ptr<SerialLine> OpenSerialLine(const std::string& path, std::uint32_t baud, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    if (code == ENOENT || code == ENODEV || code == ENXIO) {
      error =
          bridge::Cat("Cannot open ", path,
                      ": no such device. Is the USB bridge plugged in? Serial devices present:", PresentList(), ".");
    } else if (code == EACCES || code == EPERM) {
      error = bridge::Cat("Cannot open ", path,
                          ": permission denied. Add yourself to the 'dialout' group (sudo usermod -aG dialout $USER), "
                          "then log in again.");
    } else if (code == EBUSY) {
      error = bridge::Cat("Cannot open ", path,
                          ": the device is busy. Close the program that holds it (a serial monitor?).");
    } else {
      error = bridge::Cat("Cannot open ", path, ": ", std::strerror(code), ".");
    }
    return nullptr;
  }
  auto line = std::make_unique<TermiosLine>(fd, path);
  if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
    // Not exclusive: nothing lost, the bridge still works.
  }
  if (!line->MakeRaw(baud)) {
    error = bridge::Cat("Cannot use ", path, ": it is not a serial device (", std::strerror(errno), ").");
    return nullptr;
  }
  return line;
}

namespace bridge {

std::vector<std::string> BridgeCandidates() {
  std::vector<std::string> devices;
  for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"}) {
    glob_t found{};
    if (::glob(pattern, 0, nullptr, &found) == 0) {
      for (std::size_t i = 0; i < found.gl_pathc; ++i) devices.emplace_back(found.gl_pathv[i]);
    }
    ::globfree(&found);
  }
  return devices;
}

}  // namespace bridge
}  // namespace ql
