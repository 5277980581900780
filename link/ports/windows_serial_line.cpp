// A COM port through the Win32 comm API: raw 8N1, no flow control, reads
// bounded by COMMTIMEOUTS.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "link/ports/bridge_open.h"
#include "link/ports/bridge_text.h"
#include "link/ports/serial_line.h"

namespace ql {
namespace {

constexpr DWORD kWriteBudgetMs = 5000;

// "COM12" -> 12; 0 for anything that is not COMn.
unsigned ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  }
  unsigned number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    number = number * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return number;
}

std::string SystemText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : "error " + std::to_string(code);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text;
}

class CommLine final : public SerialLine {
 public:
  CommLine(HANDLE handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~CommLine() override { CloseHandle(handle_); }
  CommLine(const CommLine&) = delete;
  CommLine& operator=(const CommLine&) = delete;

  bool Write(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return true;
  }

  // What has arrived is read at once; with nothing there a one-byte read
  // waits for the first byte. Asking no more than is there keeps a read
  // from waiting to fill the buffer, as some drivers (and Wine) do under
  // the timeouts that mean "return what is there".
  long Read(std::span<std::uint8_t> buffer, int timeoutMs) override {
    if (buffer.empty()) return 0;
    long count = 0;
    if (Waiting() == 0) {
      if (!UseReadTimeout(timeoutMs)) return -1;
      DWORD got = 0;
      if (!ReadFile(handle_, buffer.data(), 1, &got, nullptr)) return -1;  // unplugged
      if (got == 0) return 0;
      count = 1;
    }
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - count, Waiting()));
    DWORD got = 0;
    if (wanted > 0 && !ReadFile(handle_, buffer.data() + count, wanted, &got, nullptr)) return -1;
    return count + static_cast<long>(got);
  }

  bool SetBaud(std::uint32_t baud) override {
    // Drain first: what was written goes out at the old rate.
    FlushFileBuffers(handle_);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = baud;
    return SetCommState(handle_, &dcb) != 0;
  }

  void DiscardInput() override { PurgeComm(handle_, PURGE_RXCLEAR); }
  const std::string& Name() const override { return name_; }

  bool MakeRaw(std::uint32_t baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = baud;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    // DTR up: a board that resets on it restarts once, as on Linux.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(handle_, &dcb)) return false;
    return UseReadTimeout(0);
  }

 private:
  // A read returns at once with what has arrived, else waits up to
  // timeoutMs for the first byte.
  bool UseReadTimeout(int timeoutMs) {
    const DWORD wait = static_cast<DWORD>(std::max(0, timeoutMs));
    if (timeoutsSet_ && wait == readWaitMs_) return true;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = wait == 0 ? 0 : MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = wait;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteBudgetMs;
    if (!SetCommTimeouts(handle_, &timeouts)) return false;
    timeoutsSet_ = true;
    readWaitMs_ = wait;
    return true;
  }

  // Bytes received and not read yet.
  DWORD Waiting() {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(handle_, &errors, &status) ? status.cbInQue : 0;
  }

  HANDLE handle_;
  std::string name_;
  bool timeoutsSet_ = false;
  DWORD readWaitMs_ = 0;
};

std::string PresentList() {
  std::string list;
  for (const std::string& port : bridge::BridgeCandidates()) list += " " + port;
  return list.empty() ? " none" : list;
}

void AddComPort(std::set<std::pair<unsigned, std::string>>& ports, const std::string& name) {
  if (const unsigned number = ComNumber(name)) ports.emplace(number, "COM" + std::to_string(number));
}

// The ports serial drivers announce (real ones and USB adapters alike).
void ReadSerialCommMap(std::set<std::pair<unsigned, std::string>>& ports) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    DWORD nameLength = sizeof valueName;
    char data[64];
    DWORD dataLength = sizeof data - 1;
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength] = '\0';
    AddComPort(ports, data);
  }
  RegCloseKey(key);
}

// The COMn names of the DOS device namespace (Wine lists its mapped ports here).
void ReadDosDevices(std::set<std::pair<unsigned, std::string>>& ports) {
  std::string names(1 << 16, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
    if (length > 0) {
      names.resize(length);
      break;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
    names.assign(names.size() * 4, '\0');
  }
  for (std::size_t at = 0; at < names.size();) {
    const std::size_t end = names.find('\0', at);
    const std::string name = names.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (name.empty()) break;
    AddComPort(ports, name);
    if (end == std::string::npos) break;
    at = end + 1;
  }
}

}  // namespace

std::unique_ptr<SerialLine> OpenSerialLine(const std::string& path, std::uint32_t baud, std::string& error) {
  // COM10 and above exist only under \\.\; the prefix works for all.
  const std::string device = path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) {
      error = bridge::Cat("Cannot open ", path,
                          ": no such port. Is the USB bridge plugged in? COM ports present:", PresentList(), ".");
    } else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_BUSY) {
      error = bridge::Cat("Cannot open ", path,
                          ": the port is in use. Close the program that holds it (a serial monitor? the Arduino "
                          "IDE?).");
    } else {
      error = bridge::Cat("Cannot open ", path, ": ", SystemText(code), ".");
    }
    return nullptr;
  }
  auto line = std::make_unique<CommLine>(handle, path);
  if (!line->MakeRaw(baud)) {
    error = bridge::Cat("Cannot use ", path, ": it is not a serial port (", SystemText(GetLastError()), ").");
    return nullptr;
  }
  line->DiscardInput();
  return line;
}

namespace bridge {

std::vector<std::string> BridgeCandidates() {
  std::set<std::pair<unsigned, std::string>> ports;  // in port-number order
  ReadSerialCommMap(ports);
  ReadDosDevices(ports);
  std::vector<std::string> names;
  for (const auto& port : ports) names.push_back(port.second);
  return names;
}

}  // namespace bridge
}  // namespace ql
