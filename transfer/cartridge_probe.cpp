#include "link/copier_addresses.h"
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

std::optional<std::uint8_t> ReadSmdCartridgeUnits() { return ReadCheckedByte(CopierAddress::SmdCartridgeUnits); }

std::optional<std::uint8_t> ReadCartridgeSramSizeCode() {
  SelectBankPage(0, 3);
  WriteMemoryByte(CopierAddress::SwcCartridgeSelect, 0);
  return ReadCheckedByte(CopierAddress::SwcCartridgeSramCode);
}

}  // namespace ql
