#include "shell/settings.h"

#include <windows.h>

#include "core/state.h"
#include "link/port_binding.h"
#include "shell/setting_values.h"

namespace ql {
namespace {

constexpr const char* kSettingsKey = "Software\\Morvane\\Quillon";

// The type is not asked for; the size tells a full 4-byte value from a
// shorter one that would leave stale bytes in the buffer.
RegistryValue QueryValue(HKEY key, const char* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  return RegistryValue{result == ERROR_SUCCESS, size, value};
}

void WriteDword(HKEY key, const char* name, std::uint32_t value) {
  DWORD data = value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

// The key for writing, created when missing; nullptr when neither works.
HKEY OpenForWriting() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) return key;
  key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

}  // namespace

void ReadSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  if (auto device = AcceptedDevice(QueryValue(key, "Device"))) SelectedDevice = *device;
  const auto base = AcceptedLptBase(QueryValue(key, "LptBase"));
  if (base) SetOtherPortBase(*base);
  if (auto lpt = AcceptedLpt(QueryValue(key, "Lpt"), base)) SelectedLpt = *lpt;
  RegCloseKey(key);
}

void WriteSettings() {
  HKEY key = OpenForWriting();
  if (key == nullptr) return;
  WriteDword(key, "Device", SelectedDevice);
  WriteDword(key, "Lpt", SelectedLpt);
  if (OtherPortBase() != 0) WriteDword(key, "LptBase", OtherPortBase());
  RegCloseKey(key);
}

std::string ReadBridgePort() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  char name[64] = {};
  DWORD type = 0;
  DWORD size = sizeof name - 1;  // room for a NUL the data may lack
  const LONG result = RegQueryValueExA(key, "BridgePort", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return {};
  return name;
}

void WriteBridgePort(const std::string& device) {
  HKEY key = OpenForWriting();
  if (key == nullptr) return;
  RegSetValueExA(key, "BridgePort", 0, REG_SZ, reinterpret_cast<const BYTE*>(device.c_str()),
                 static_cast<DWORD>(device.size() + 1));
  RegCloseKey(key);
}

}  // namespace ql
