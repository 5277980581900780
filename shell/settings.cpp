#include "shell/settings.h"

#include <windows.h>

#include "core/state.h"
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

void WriteDword(HKEY key, const char* name, std::uint8_t value) {
  DWORD data = value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

}  // namespace

void ReadSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  if (auto device = AcceptedDevice(QueryValue(key, "Device"))) SelectedDevice = *device;
  if (auto lpt = AcceptedLpt(QueryValue(key, "Lpt"))) SelectedLpt = *lpt;
  RegCloseKey(key);
}

void WriteSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
      return;
  }
  WriteDword(key, "Device", SelectedDevice);
  WriteDword(key, "Lpt", SelectedLpt);
  RegCloseKey(key);
}

}  // namespace ql
