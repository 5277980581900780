#include "cli/file_io.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace ql::cli {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = fmt::format("{}: cannot be read: {}", path, std::strerror(errno));
    return false;
  }
  bytes.clear();
  std::uint8_t chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = fmt::format("{}: read error", path);
    return false;
  }
  return true;
}

namespace {

// Holds Ctrl+C back while a temporary file exists, so an interrupt ends the
// process only after the file was renamed into place or removed.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  InterruptsHeld held;
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = fmt::format("{}: cannot be created: {}", path, std::strerror(errno));
    return false;
  }
  // mkstemp makes the file private; give it the mode an ordinary create would.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  const char* failure = nullptr;
  std::size_t written = 0;
  while (!failure && written < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failure = n < 0 ? std::strerror(errno) : "nothing written";
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  if (!failure && fsync(fd) != 0) failure = std::strerror(errno);
  if (close(fd) != 0 && !failure) failure = std::strerror(errno);
  if (!failure && std::rename(temp.c_str(), path.c_str()) != 0) failure = std::strerror(errno);
  if (!failure) return true;
  error = fmt::format("{}: cannot be written: {}", path, failure);
  unlink(temp.c_str());
  return false;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace ql::cli
