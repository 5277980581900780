#include "emulator/smd_memory.h"

#include <cstdio>

#include "core/units.h"
#include "link/copier_addresses.h"

namespace ql::emu {
namespace {

constexpr std::uint16_t kModeRegister = CopierAddress::SmdModeRegister;
constexpr std::uint16_t kHeaderAddress = CopierAddress::SmdUploadHeader;
constexpr std::uint16_t kSizeRegister = CopierAddress::SmdCartridgeUnits;
constexpr std::uint16_t kLowRegisters[] = {kModeRegister};
constexpr std::uint16_t kHighRegisters[] = {kSizeRegister};
constexpr std::uint32_t kWindow = kSmdBlockSize;

}  // namespace

Span SmdMemory::Map(std::uint16_t address, bool forWrite) {
  const std::uint32_t offset = address & (kWindow - 1);
  switch (address >> 14) {
    case 0:
      return FlatSpan(store_, address, kWindow, kLowRegisters, std::size(kLowRegisters));
    case 1:
      if (transferMode_) return cartridge_.Page(page_, static_cast<std::uint16_t>(offset));
      return Span::Bytes(store_.sram.data() + offset, kWindow - offset);
    case 2:
      if (transferMode_) return store_.DramSpan(page_, offset, forWrite, false);
      return Span::Bytes(store_.sram.data() + kWindow + offset, kWindow - offset);
    default:
      if (address < kHeaderAddress) return FlatSpan(store_, address, kHeaderAddress, kHighRegisters, 0);
      if (address < kHeaderAddress + store_.header.size()) {
        const std::uint32_t at = address - kHeaderAddress;
        return Span::Bytes(store_.header.data() + at, static_cast<std::uint32_t>(store_.header.size()) - at);
      }
      return FlatSpan(store_, address, 0x10000, kHighRegisters, std::size(kHighRegisters));
  }
}

void SmdMemory::WriteRegister(std::uint16_t address, std::uint8_t value) {
  store_.flat[address] = value;
  if (address != kModeRegister) return;
  mode_ = value;
  transferMode_ = value == 0;
  char line[16];
  std::snprintf(line, sizeof line, "W 2001 %02X", value);
  store_.events.emplace_back(line);
}

std::uint8_t SmdMemory::ReadRegister(std::uint16_t address) {
  if (address == kSizeRegister) return cartridge_.SizeUnits();
  return store_.flat[address];
}

void SmdMemory::SetCartridge(std::vector<std::uint8_t> image, bool) { cartridge_.Plug(std::move(image)); }

}  // namespace ql::emu
