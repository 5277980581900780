#include "bridge/sim/pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace ql::bridge {
namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) Fail("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("grantpt/unlockpt");
  const char* name = ptsname(master_);
  if (!name) Fail("ptsname");
  path_ = name;
  slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) Fail("open pty slave");
  termios settings{};
  if (tcgetattr(slave_, &settings) != 0) Fail("tcgetattr");
  cfmakeraw(&settings);
  if (tcsetattr(slave_, TCSANOW, &settings) != 0) Fail("tcsetattr");
  const int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");
}

PseudoTerminal::~PseudoTerminal() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

std::size_t PseudoTerminal::Read(std::uint8_t* bytes, std::size_t capacity) {
  const ssize_t n = read(master_, bytes, capacity);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t PseudoTerminal::Write(const std::uint8_t* bytes, std::size_t count) {
  const ssize_t n = write(master_, bytes, count);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace ql::bridge
