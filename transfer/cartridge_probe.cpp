#include "transfer/cartridge_probe.h"

#include "link/commands.h"

namespace ql {

std::optional<std::uint8_t> ReadCheckedByte(std::uint16_t address, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    int value = ReadMemoryByte(address);
    if (value >= 0) return static_cast<std::uint8_t>(value);
  }
  return std::nullopt;
}

std::optional<std::uint8_t> ReadSmdCartridgeUnits() { return ReadCheckedByte(0xDFF1); }

std::optional<std::uint8_t> ReadCartridgeSramSizeCode() {
  SelectBankPage(0, 3);
  WriteMemoryByte(0xE00C, 0);
  return ReadCheckedByte(0xBFD8);
}

}  // namespace ql
