#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "emulator/folder_files.h"

namespace ql::emu {
namespace {

std::string Reason(const std::string& what, const std::filesystem::path& path, int error) {
  return what + " " + path.string() + ": " + std::strerror(error);
}

// Every byte, through interrupted and partial writes.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

FolderLock::~FolderLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));  // closing releases the flock
}

bool FolderLock::Acquire(const std::filesystem::path& folder, std::string& error) {
  const std::filesystem::path path = folder / "state.lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Reason("cannot open", path, errno);
    return false;
  }
  int result;
  while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    error = Reason("cannot lock", path, errno);
    close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

bool ReplaceFileWhole(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size,
                      std::string& error) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Reason("cannot write", temporary, errno);
    return false;
  }
  const bool written = WriteAll(fd, data, size) && fsync(fd) == 0;
  const int writeError = errno;
  if (close(fd) != 0 || !written) {
    error = Reason("cannot write", temporary, written ? errno : writeError);
    unlink(temporary.c_str());
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = Reason("cannot replace", path, errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool AppendWhole(const std::filesystem::path& path, const std::string& text, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = Reason("cannot append to", path, errno);
    return false;
  }
  const off_t before = lseek(fd, 0, SEEK_END);
  const bool written = WriteAll(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (written) {
    close(fd);
    return true;
  }
  error = Reason("cannot append to", path, errno);
  if (before < 0 || ftruncate(fd, before) != 0) error += " (a cut line is left at its end)";
  close(fd);
  return false;
}

}  // namespace ql::emu

#endif  // _WIN32
