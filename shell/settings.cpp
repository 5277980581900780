#include "shell/settings.h"

#include <windows.h>

#include "core/state.h"
#include "shell/setting_values.h"

namespace ql {
namespace {

constexpr const char* kSettingsKey = "Software\\Morvane\\Quillon";

RegistryDword QueryDword(HKEY key, const char* name) {
  RegistryDword stored;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  // Asking for the type and the size: a shorter value of another type would
  // otherwise leave stale bytes in the buffer and pass for a number.
  LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  stored.read = result == ERROR_SUCCESS;
  stored.type = type;
  stored.size = size;
  stored.value = value;
  return stored;
}

void WriteDword(HKEY key, const char* name, std::uint8_t value) {
  DWORD data = value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

}  // namespace

void ReadSettings() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  if (auto device = AcceptedDevice(QueryDword(key, "Device"))) SelectedDevice = *device;
  if (auto lpt = AcceptedLpt(QueryDword(key, "Lpt"))) SelectedLpt = *lpt;
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
