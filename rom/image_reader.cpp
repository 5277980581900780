#include "rom/image_reader.h"

#include <sys/stat.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <limits>

namespace ql {
namespace {

constexpr std::uint64_t kMaxReportedSize = std::numeric_limits<std::uint32_t>::max();

bool SeekTo(std::FILE* file, std::uint64_t offset, int origin) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<long long>(offset), origin) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

}  // namespace

std::uint32_t MemoryImageReader::Size() const {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes_.size(), kMaxReportedSize));
}

std::size_t MemoryImageReader::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t available = bytes_.size() - static_cast<std::size_t>(offset);
  const std::size_t n = std::min(count, available);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

FileImageReader::FileImageReader(const std::string& path) {
#if defined(_WIN32)
  // "rb" opens an existing file only and shares read access. Only a disk
  // file is an image: a console (CON) or a serial port would wait for input.
  file_ = std::fopen(path.c_str(), "rb");
  struct _stat64 st {};
  if (file_ != nullptr && (_fstat64(_fileno(file_), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)) {
    std::fclose(file_);
    file_ = nullptr;
  }
#else
  // Only a regular file is an image: a FIFO would hold the open until a
  // writer came (O_NONBLOCK keeps it from waiting), a device may never end.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (file_ = fdopen(fd, "rb")) == nullptr) {
    close(fd);
    return;
  }
#endif
  if (file_ == nullptr) return;
  if (!SeekTo(file_, 0, SEEK_END)) return;
  const std::int64_t end = Tell(file_);
  if (end > 0)
    size_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(end), kMaxReportedSize));
}

FileImageReader::~FileImageReader() {
  if (file_ != nullptr) std::fclose(file_);
}

std::size_t FileImageReader::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
  if (file_ == nullptr || !SeekTo(file_, offset, SEEK_SET)) return 0;
  return std::fread(buffer, 1, count, file_);
}

}  // namespace ql
