#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "cli/file_io.h"
#include "cli/interrupt.h"

namespace ql::cli {
namespace {

// Links followed before a name counts as a loop, as the kernel counts them.
constexpr int kMaxLinks = 40;
constexpr auto kReaderPoll = std::chrono::milliseconds(20);

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The file a write to path lands in: links followed to their end. `exists`
// tells whether it is there (`existing` is then its stat); only a regular
// file or a new name is accepted.
bool ResolveOutput(const std::string& path, std::string& target, struct stat& existing, bool& exists,
                   std::string& error) {
  namespace fs = std::filesystem;
  fs::path current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    if (lstat(current.c_str(), &existing) != 0) {
      if (errno != ENOENT) break;
      target = current.string();  // a new file, or the missing target of a link
      exists = false;
      return true;
    }
    if (S_ISREG(existing.st_mode)) {
      target = current.string();
      exists = true;
      return true;
    }
    if (!S_ISLNK(existing.st_mode)) {
      error = fmt::format("{}: is {}, refused; name a regular file", path, KindOf(existing.st_mode));
      return false;
    }
    std::error_code failure;
    fs::path next = fs::read_symlink(current, failure);
    if (failure) {
      errno = failure.value();
      break;
    }
    current = next.is_absolute() ? next : current.parent_path() / next;
    errno = ELOOP;
  }
  error = fmt::format("{}: cannot be written: {}", path, std::strerror(errno));
  return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  // Without O_NONBLOCK the open of a FIFO would wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = fmt::format("{}: cannot be read: {}", path, std::strerror(errno));
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = fmt::format("{}: is {}, refused; name a regular file", path, KindOf(st.st_mode));
    close(fd);
    return false;
  }
  bytes.clear();
  std::uint8_t chunk[65536];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  const int readErrno = errno;
  close(fd);
  if (n < 0) {
    error = fmt::format("{}: read error: {}", path, std::strerror(readErrno));
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::string target;
  struct stat existing {};
  bool exists = false;
  if (!ResolveOutput(path, target, existing, exists, error)) return false;

  InterruptsHeld held;
  // In the target's folder, so that the rename replaces it in one step.
  std::string temp = target + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = fmt::format("{}: cannot be created: {}", path, std::strerror(errno));
    return false;
  }
  // mkstemp makes the file private: give it the bits of the file it replaces,
  // or those an ordinary create would.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~mask);
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
  if (!failure && std::rename(temp.c_str(), target.c_str()) != 0) failure = std::strerror(errno);
  if (!failure) return true;
  error = fmt::format("{}: cannot be written: {}", path, failure);
  unlink(temp.c_str());
  return false;
}

namespace {

// open() for writing that, on a FIFO nobody reads yet, waits for its reader
// without blocking in the open, so that a Ctrl+C ends the wait (-1, errno
// EINTR). The descriptor returned blocks as usual.
int OpenDescriptorForWriting(const std::string& path, int flags) {
  int fd;
  // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of holding the open.
  while ((fd = open(path.c_str(), flags | O_NONBLOCK, 0666)) < 0 && errno == ENXIO) {
    if (Interrupted()) {
      errno = EINTR;
      return -1;
    }
    std::this_thread::sleep_for(kReaderPoll);
  }
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::FILE* OpenForWriting(const std::string& path) {
  const int fd = OpenDescriptorForWriting(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "w");
  if (!file) {
    const int reason = errno;
    close(fd);
    errno = reason;
  }
  return file;
}

FifoReaderWait::FifoReaderWait(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) fd_ = OpenDescriptorForWriting(path, O_WRONLY | O_CLOEXEC);
}

FifoReaderWait::~FifoReaderWait() {
  if (fd_ >= 0) close(fd_);
}

bool IsRegularFile(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

std::string NotRegularFileKind(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  return KindOf(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {};
  struct stat sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace ql::cli
