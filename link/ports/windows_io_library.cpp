#include "link/ports/windows_io_library.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace ql {
namespace {

// io.dll's exports (stdcall, as the library declares them).
using IoPortOut = void(WINAPI*)(short port, char value);
using IoPortIn = char(WINAPI*)(short port);
using IoNotPortBit = void(WINAPI*)(short port, BYTE bit);
using IoIsDriverInstalled = short(WINAPI*)();

// inpout's exports.
using InpOut32 = void(WINAPI*)(short port, short data);
using InpInp32 = short(WINAPI*)(short port);
using InpIsDriverOpen = BOOL(WINAPI*)();

#ifdef _WIN64
constexpr const char* kInpOutName = "inpoutx64.dll";
#else
constexpr const char* kInpOutName = "inpout32.dll";
#endif

// FARPROC to a typed pointer without -Wcast-function-type.
template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<std::string> SafeFolders() {
  std::vector<std::string> folders;
  char buffer[MAX_PATH];
  const DWORD moduleLength = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (moduleLength > 0 && moduleLength < MAX_PATH) {
    const std::string folder = FolderOf(std::string(buffer, moduleLength));
    if (!folder.empty()) folders.push_back(folder);
  }
  const UINT systemLength = GetSystemDirectoryA(buffer, MAX_PATH);
  if (systemLength > 0 && systemLength < MAX_PATH) folders.emplace_back(buffer, systemLength);
  return folders;
}

class IoDllPort final : public PortIo {
 public:
  IoDllPort(HMODULE module, IoPortOut out, IoPortIn in, IoNotPortBit notBit, IoIsDriverInstalled installed)
      : module_(module), out_(out), in_(in), notBit_(notBit), installed_(installed) {}
  ~IoDllPort() override { FreeLibrary(module_); }
  IoDllPort(const IoDllPort&) = delete;
  IoDllPort& operator=(const IoDllPort&) = delete;

  void PortOut(std::uint16_t port, std::uint8_t value) override {
    out_(static_cast<short>(port), static_cast<char>(value));
  }
  std::uint8_t PortIn(std::uint16_t port) override { return static_cast<std::uint8_t>(in_(static_cast<short>(port))); }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { notBit_(static_cast<short>(port), bit); }
  std::uint16_t IsDriverInstalled() override { return static_cast<std::uint16_t>(installed_()); }

 private:
  HMODULE module_;
  IoPortOut out_;
  IoPortIn in_;
  IoNotPortBit notBit_;
  IoIsDriverInstalled installed_;
};

// inpout has no bit inversion: keep a copy of the register it is used on
// (the control register), read once, so a STROBE toggle is one write.
class InpOutPort final : public PortIo {
 public:
  InpOutPort(HMODULE module, InpOut32 out, InpInp32 in, InpIsDriverOpen open)
      : module_(module), out_(out), in_(in), open_(open) {}
  ~InpOutPort() override { FreeLibrary(module_); }
  InpOutPort(const InpOutPort&) = delete;
  InpOutPort& operator=(const InpOutPort&) = delete;

  void PortOut(std::uint16_t port, std::uint8_t value) override {
    if (shadowValid_ && port == shadowPort_) shadow_ = value;
    out_(static_cast<short>(port), static_cast<short>(value));
  }
  std::uint8_t PortIn(std::uint16_t port) override {
    return static_cast<std::uint8_t>(in_(static_cast<short>(port)) & 0xFF);
  }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
    if (!shadowValid_ || port != shadowPort_) {
      shadow_ = PortIn(port);
      shadowPort_ = port;
      shadowValid_ = true;
    }
    shadow_ = static_cast<std::uint8_t>(shadow_ ^ (1u << (bit & 7)));
    out_(static_cast<short>(port), static_cast<short>(shadow_));
  }
  std::uint16_t IsDriverInstalled() override { return open_() ? 1 : 0; }

 private:
  HMODULE module_;
  InpOut32 out_;
  InpInp32 in_;
  InpIsDriverOpen open_;
  bool shadowValid_ = false;
  std::uint16_t shadowPort_ = 0;
  std::uint8_t shadow_ = 0;
};

// The libraries the port library needs come from its own folder or the
// system folder too. Windows before 8 without update KB2533623 knows no
// such flags; there the library's folder comes first, then the usual order.
HMODULE LoadByFullPath(const std::string& folder, const char* name) {
  const std::string path = folder + "\\" + name;
  HMODULE module =
      LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

std::unique_ptr<PortIo> TryIoDll(const std::string& folder) {
  HMODULE module = LoadByFullPath(folder, "io.dll");
  if (module == nullptr) return nullptr;
  auto out = Resolve<IoPortOut>(module, "PortOut");
  auto in = Resolve<IoPortIn>(module, "PortIn");
  auto notBit = Resolve<IoNotPortBit>(module, "NotPortBit");
  auto installed = Resolve<IoIsDriverInstalled>(module, "IsDriverInstalled");
  if (!out || !in || !notBit || !installed) {
    FreeLibrary(module);  // a library without all four is no port library
    return nullptr;
  }
  return std::make_unique<IoDllPort>(module, out, in, notBit, installed);
}

std::unique_ptr<PortIo> TryInpOut(const std::string& folder) {
  HMODULE module = LoadByFullPath(folder, kInpOutName);
  if (module == nullptr) return nullptr;
  auto out = Resolve<InpOut32>(module, "Out32");
  auto in = Resolve<InpInp32>(module, "Inp32");
  auto open = Resolve<InpIsDriverOpen>(module, "IsInpOutDriverOpen");
  if (!out || !in || !open) {
    FreeLibrary(module);
    return nullptr;
  }
  return std::make_unique<InpOutPort>(module, out, in, open);
}

}  // namespace

std::unique_ptr<PortIo> LoadWindowsPortLibrary(std::string& failureMessage) {
  const std::vector<std::string> folders = SafeFolders();
  for (const std::string& folder : folders) {
    if (auto port = TryIoDll(folder)) return port;
  }
  for (const std::string& folder : folders) {
    if (auto port = TryInpOut(folder)) return port;
  }
  failureMessage = PortLibraryLoadFailureText();
  return nullptr;
}

PortLibraryLoader WindowsPortLibraryLoader() {
  return [](std::string& failureMessage) { return LoadWindowsPortLibrary(failureMessage); };
}

}  // namespace ql
