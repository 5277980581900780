// The state folder's files when several processes share one folder: an
// exclusive lock held while the folder is read or written, files replaced
// whole, and a log appended whole. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ql::emu {

// An exclusive lock on the file "state.lock" in a folder, held until
// destruction (flock on Linux, LockFileEx on Windows).
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Waits until no other holder is left. False and a reason when the lock
  // file cannot be created or locked (a read-only folder, say).
  bool Acquire(const std::filesystem::path& folder, std::string& error);

 private:
  std::intptr_t handle_ = -1;  // a descriptor or a HANDLE
};

// Writes a temporary file beside `path`, flushes it to the disk and renames
// it over `path`: a reader sees the old file or the new one, never a part.
bool ReplaceFileWhole(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size,
                      std::string& error);

// Appends `text` in one write; a write cut short is taken back, so that the
// file gains all of `text` or none of it.
bool AppendWhole(const std::filesystem::path& path, const std::string& text, std::string& error);

}  // namespace ql::emu
