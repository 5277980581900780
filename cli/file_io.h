// Whole-file reads and safe writes for the offline commands, and the file
// checks the other commands make. One implementation per system
// (posix_file_io.cpp, windows_file_io.cpp) behind the same messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ql::cli {

// False and a message when the file cannot be read. Only a regular file is
// read: a FIFO, a device or a folder is refused at once, without waiting.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes through a temporary file in the same folder that is renamed over
// the file at the end, so a failure never leaves a half-written file. A
// symbolic link is written through: its target is replaced and the link
// kept. A device, FIFO or folder is refused. A file that exists keeps its
// permission bits.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// Creates or truncates a file for writing. On a FIFO nobody reads yet it
// waits for the reader, until a Ctrl+C ends the wait (nullptr, errno EINTR).
// nullptr and errno when the file cannot be opened.
std::FILE* OpenForWriting(const std::string& path);

// A download whose OUTFILE is a FIFO opens it on the job's thread, where a
// Ctrl+C cannot reach the wait: this waits for the reader first and holds a
// write end open until the end, so that the job's open returns at once.
// Windows has no FIFOs in its file system: nothing to wait for there.
class FifoReaderWait {
 public:
  explicit FifoReaderWait(const std::string& path);
  ~FifoReaderWait();
  FifoReaderWait(const FifoReaderWait&) = delete;
  FifoReaderWait& operator=(const FifoReaderWait&) = delete;

 private:
  int fd_ = -1;
};

// "a folder", "a FIFO", "a device"... for a path that exists and is not a
// regular file (links followed); empty otherwise.
std::string NotRegularFileKind(const std::string& path);

// True when both paths name one file: the same existing file (by device and
// inode, or volume and file index, so "x", "./x" and a link to x match), or
// the same text.
bool SameFile(const std::string& a, const std::string& b);

// Whether an open file is a regular file (a device or pipe need not end).
bool IsRegularFile(std::FILE* file);

// Whether the file may be read, for telling why a load failed.
bool IsReadable(const std::string& path);

}  // namespace ql::cli
