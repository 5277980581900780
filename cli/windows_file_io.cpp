// The file operations of cli/file_io.h through the Win32 API: handles tell
// a disk file from a console, a device or a pipe; a file's identity is its
// volume serial number and file index.
#include <fmt/format.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/file_io.h"
#include "cli/interrupt.h"

namespace ql::cli {
namespace {

constexpr int kTempNameAttempts = 100;

std::string SystemText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : fmt::format("error {}", code);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

// Closes the handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    const bool closed = !Valid() || CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Folders open too (backup semantics), so that they can be told apart.
HANDLE OpenExisting(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Empty for a regular file, else what the handle is.
std::string KindOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "a folder";
      return {};
    case FILE_TYPE_CHAR:
      return "a device";
    case FILE_TYPE_PIPE:
      return "a pipe";
    default:
      return "not a regular file";
  }
}

// The file a write to path lands in: a symbolic link is followed to its
// target. `exists` tells whether it is there; only a regular file or a new
// name is accepted.
bool ResolveOutput(const std::string& path, std::string& target, bool& exists, std::string& error) {
  target = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    exists = false;
    if (code == ERROR_FILE_NOT_FOUND) return true;
    error = fmt::format("{}: cannot be written: {}", path, SystemText(code));
    return false;
  }
  exists = true;
  Handle file(OpenExisting(path, 0));
  if (!file.Valid()) {
    error = fmt::format("{}: cannot be written: {}", path, SystemText(GetLastError()));
    return false;
  }
  if (const std::string kind = KindOf(file.Get()); !kind.empty()) {
    error = fmt::format("{}: is {}, refused; name a regular file", path, kind);
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    char final[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleA(file.Get(), final, sizeof final, FILE_NAME_NORMALIZED);
    if (length > 0 && length < sizeof final) target.assign(final, length);
  }
  return true;
}

// A new file beside target, opened for writing: "target.XXXXXX".
HANDLE CreateTemporary(const std::string& target, std::string& temp) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    const unsigned long long seed = GetTickCount64() * 7919u + GetCurrentProcessId() * 104729u + ++counter;
    temp = fmt::format("{}.{:06X}", target, seed & 0xFFFFFF);
    HANDLE handle = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

// Puts temp in place of target. False when target was not replaced; `kept`
// then tells that temp holds the only copy of the data (ReplaceFile may
// fail after it removed target) and must stay.
bool PutInPlace(const std::string& temp, const std::string& target, bool exists, DWORD& code, bool& kept) {
  kept = false;
  // ReplaceFile keeps the replaced file's attributes, security and creation time.
  if (exists && ReplaceFileA(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return true;
  if (exists) {
    code = GetLastError();
    const bool targetGone = code == ERROR_UNABLE_TO_MOVE_REPLACEMENT || code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    if (!targetGone && code != ERROR_CALL_NOT_IMPLEMENTED) return false;
  }
  if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  code = GetLastError();
  kept = exists && GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES;
  return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  Handle file(OpenExisting(path, GENERIC_READ));
  if (!file.Valid()) {
    error = fmt::format("{}: cannot be read: {}", path, SystemText(GetLastError()));
    return false;
  }
  if (const std::string kind = KindOf(file.Get()); !kind.empty()) {
    error = fmt::format("{}: is {}, refused; name a regular file", path, kind);
    return false;
  }
  bytes.clear();
  std::uint8_t chunk[65536];
  DWORD got = 0;
  while (true) {
    if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) {
      error = fmt::format("{}: read error: {}", path, SystemText(GetLastError()));
      return false;
    }
    if (got == 0) return true;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::string target;
  bool exists = false;
  if (!ResolveOutput(path, target, exists, error)) return false;

  InterruptsHeld held;
  std::string temp;
  Handle file(CreateTemporary(target, temp));
  if (!file.Valid()) {
    error = fmt::format("{}: cannot be created: {}", path, SystemText(GetLastError()));
    return false;
  }
  DWORD code = 0;
  std::size_t written = 0;
  while (code == 0 && written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 24));
    DWORD done = 0;
    if (!WriteFile(file.Get(), bytes.data() + written, chunk, &done, nullptr)) code = GetLastError();
    if (code == 0 && done == 0) code = ERROR_WRITE_FAULT;
    written += done;
  }
  if (code == 0 && !FlushFileBuffers(file.Get())) code = GetLastError();
  if (!file.Close() && code == 0) code = GetLastError();
  bool kept = false;
  if (code == 0 && PutInPlace(temp, target, exists, code, kept)) return true;
  if (kept) {
    error = fmt::format("{}: cannot be written: {}; the new contents are in {}", path, SystemText(code), temp);
    return false;
  }
  error = fmt::format("{}: cannot be written: {}", path, SystemText(code));
  DeleteFileA(temp.c_str());
  return false;
}

std::FILE* OpenForWriting(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

FifoReaderWait::FifoReaderWait(const std::string&) {}

FifoReaderWait::~FifoReaderWait() = default;

std::string NotRegularFileKind(const std::string& path) {
  Handle file(OpenExisting(path, 0));
  if (file.Valid()) return KindOf(file.Get());
  // The console (CON) opens only for reading or writing.
  Handle reading(OpenExisting(path, GENERIC_READ));
  return reading.Valid() ? KindOf(reading.Get()) : std::string();
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  Handle first(OpenExisting(a, 0));
  Handle second(OpenExisting(b, 0));
  BY_HANDLE_FILE_INFORMATION one{};
  BY_HANDLE_FILE_INFORMATION two{};
  if (!first.Valid() || !second.Valid() || !GetFileInformationByHandle(first.Get(), &one) ||
      !GetFileInformationByHandle(second.Get(), &two))
    return false;
  return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber && one.nFileIndexHigh == two.nFileIndexHigh &&
         one.nFileIndexLow == two.nFileIndexLow;
}

bool IsRegularFile(std::FILE* file) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  return handle != INVALID_HANDLE_VALUE && KindOf(handle).empty();
}

bool IsReadable(const std::string& path) { return Handle(OpenExisting(path, GENERIC_READ)).Valid(); }

}  // namespace ql::cli
