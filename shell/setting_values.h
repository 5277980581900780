// Which registry data the two settings accept. Only a 4-byte REG_DWORD in
// range counts; anything else leaves the start value.
#pragma once

#include <cstdint>
#include <optional>

namespace ql {

constexpr std::uint32_t kRegistryDwordType = 4;  // REG_DWORD

struct RegistryDword {
  bool read = false;  // the query succeeded
  std::uint32_t type = 0;
  std::uint32_t size = 0;  // bytes the query returned
  std::uint32_t value = 0;
};

std::optional<std::uint8_t> AcceptedDevice(const RegistryDword& stored);  // 0 or 1
std::optional<std::uint8_t> AcceptedLpt(const RegistryDword& stored);     // 1..3

}  // namespace ql
