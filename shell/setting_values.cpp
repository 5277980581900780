#include "shell/setting_values.h"

#include "link/port_binding.h"

namespace ql {
namespace {

std::optional<std::uint32_t> NumberOf(const RegistryValue& stored) {
  if (!stored.read || stored.size != sizeof stored.value) return std::nullopt;
  return stored.value;
}

}  // namespace

std::optional<std::uint8_t> AcceptedDevice(const RegistryValue& stored) {
  auto value = NumberOf(stored);
  if (!value || *value > 1) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint16_t> AcceptedLptBase(const RegistryValue& stored) {
  auto value = NumberOf(stored);
  if (!value || !IsOtherPortBase(*value)) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint8_t> AcceptedLpt(const RegistryValue& stored, std::optional<std::uint16_t> lptBase) {
  auto value = NumberOf(stored);
  if (!value || *value < 1 || *value > kOtherAddressChoice) return std::nullopt;
  if (*value == kOtherAddressChoice && !lptBase) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

}  // namespace ql
