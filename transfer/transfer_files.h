// File access of the transfer steps: whole-file reads for the uploads and
// checked, unbuffered writes for the downloads. Portable std::FILE code, the
// same on Windows and Linux.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ql {

// A file opened for reading; closed when it goes out of scope.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Why the file could not be opened ("" while it is open).
  const std::string& Error() const { return error_; }
  // Size in bytes, or -1 when it cannot be taken.
  long long Size();
  // Reads exactly length bytes from offset; false on a short or failed read.
  bool ReadAt(long long offset, std::uint8_t* buffer, std::size_t length);
  void Close();

 private:
  std::FILE* file_ = nullptr;
  std::string error_;
};

// A file created (or replaced) for writing. Every write is checked; the
// reason of the first failure is kept for the message.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False with Error() set when the file cannot be created.
  bool Create(const std::string& path);
  // False with Error() set when not all bytes reached the file.
  bool Write(const std::uint8_t* data, std::size_t length);
  bool WriteAt(long long offset, const std::uint8_t* data, std::size_t length);
  // False with Error() set when the last bytes could not be stored.
  bool Close();
  const std::string& Error() const { return error_; }

 private:
  void RecordError(int errorNumber);

  std::FILE* file_ = nullptr;
  std::string error_;
};

}  // namespace ql
