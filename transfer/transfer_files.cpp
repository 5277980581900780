#include "transfer/transfer_files.h"

#include <cerrno>
#include <cstring>

namespace ql {

InputFile::InputFile(const std::string& path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) error_ = errno != 0 ? std::strerror(errno) : "unknown error";
}

InputFile::~InputFile() { Close(); }

long long InputFile::Size() {
  if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file_);
  return size < 0 ? -1 : static_cast<long long>(size);
}

bool InputFile::ReadAt(long long offset, std::uint8_t* buffer, std::size_t length) {
  if (file_ == nullptr || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return std::fread(buffer, 1, length, file_) == length;
}

void InputFile::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

bool OutputFile::Create(const std::string& path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    RecordError(errno);
    return false;
  }
  // Unbuffered: blocks are large, and a full disk must show at the write
  // that hit it, not at a later flush.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  return true;
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t length) {
  if (file_ == nullptr) return false;
  errno = 0;
  if (std::fwrite(data, 1, length, file_) == length) return true;
  RecordError(errno != 0 ? errno : ENOSPC);
  return false;
}

bool OutputFile::WriteAt(long long offset, const std::uint8_t* data, std::size_t length) {
  if (file_ == nullptr) return false;
  errno = 0;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    RecordError(errno);
    return false;
  }
  bool written = Write(data, length);
  std::fseek(file_, 0, SEEK_END);
  return written;
}

bool OutputFile::Close() {
  if (file_ == nullptr) return error_.empty();
  errno = 0;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) RecordError(errno);
  return closed && error_.empty();
}

void OutputFile::RecordError(int errorNumber) {
  if (!error_.empty()) return;
  error_ = errorNumber != 0 ? std::strerror(errorNumber) : "unknown error";
}

}  // namespace ql
