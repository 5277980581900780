// Which registry data the settings accept: any value of exactly 4 bytes,
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
// "LptBase": a base the Other Address choice accepts.
std::optional<std::uint16_t> AcceptedLptBase(const RegistryValue& stored);
// "Lpt": 1..3, 4 (the USB bridge), or 5 (Other Address) when "LptBase" is
// valid too; older versions know only 1..3 and start anything else at LPT1.
std::optional<std::uint8_t> AcceptedLpt(const RegistryValue& stored, std::optional<std::uint16_t> lptBase);

}  // namespace ql
