// Which registry data the two settings accept: any value of exactly 4 bytes,
// whatever its type, read as a little-endian number and in range. A shorter
// value would leave bytes of the buffer unwritten, so it is ignored.
#pragma once

#include <cstdint>
#include <optional>

namespace ql {

struct RegistryValue {
  bool read = false;       // the query succeeded (a value longer than the buffer does not)
  std::uint32_t size = 0;  // bytes the query returned
  std::uint32_t value = 0;
};

std::optional<std::uint8_t> AcceptedDevice(const RegistryValue& stored);  // 0 or 1
std::optional<std::uint8_t> AcceptedLpt(const RegistryValue& stored);     // 1..3

}  // namespace ql
