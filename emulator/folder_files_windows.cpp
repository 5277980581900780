// The io.dll build's side of the state folder's files.
#ifdef _WIN32

#include <windows.h>

#include <system_error>

#include "emulator/folder_files.h"

namespace ql::emu {
namespace {

std::string Reason(const std::string& what, const std::filesystem::path& path, DWORD error) {
  return what + " " + path.string() + ": " + std::system_category().message(static_cast<int>(error));
}

HANDLE Open(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Every byte, in pieces a DWORD can count.
bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

FolderLock::~FolderLock() {
  if (handle_ == -1) return;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED whole{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(file);
}

bool FolderLock::Acquire(const std::filesystem::path& folder, std::string& error) {
  const std::filesystem::path path = folder / "state.lock";
  const HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    error = Reason("cannot open", path, GetLastError());
    return false;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    error = Reason("cannot lock", path, GetLastError());
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool ReplaceFileWhole(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size,
                      std::string& error) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  const HANDLE file = Open(temporary, GENERIC_WRITE, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    error = Reason("cannot write", temporary, GetLastError());
    return false;
  }
  const bool written = WriteAll(file, data, size) && FlushFileBuffers(file);
  const DWORD writeError = GetLastError();
  CloseHandle(file);
  if (!written) {
    error = Reason("cannot write", temporary, writeError);
    DeleteFileW(temporary.c_str());
    return false;
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = Reason("cannot replace", path, GetLastError());
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool AppendWhole(const std::filesystem::path& path, const std::string& text, std::string& error) {
  const HANDLE file = Open(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    error = Reason("cannot append to", path, GetLastError());
    return false;
  }
  LARGE_INTEGER before{};
  if (!SetFilePointerEx(file, LARGE_INTEGER{}, &before, FILE_END)) {
    error = Reason("cannot append to", path, GetLastError());
    CloseHandle(file);
    return false;
  }
  const bool appended = WriteAll(file, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (!appended) {
    error = Reason("cannot append to", path, GetLastError());
    if (!SetFilePointerEx(file, before, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
      error += " (a cut line is left at its end)";
  }
  CloseHandle(file);
  return appended;
}

}  // namespace ql::emu

#endif  // _WIN32
