#include "shell/setting_values.h"

namespace ql {
namespace {

std::optional<std::uint32_t> DwordOf(const RegistryDword& stored) {
  if (!stored.read || stored.type != kRegistryDwordType || stored.size != 4) return std::nullopt;
  return stored.value;
}

}  // namespace

std::optional<std::uint8_t> AcceptedDevice(const RegistryDword& stored) {
  auto value = DwordOf(stored);
  if (!value || *value > 1) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint8_t> AcceptedLpt(const RegistryDword& stored) {
  auto value = DwordOf(stored);
  if (!value || *value < 1 || *value > 3) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

}  // namespace ql
