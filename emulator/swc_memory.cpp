#include "emulator/swc_memory.h"

#include "core/units.h"
#include "link/copier_addresses.h"

namespace ql::emu {
namespace {

// The copier's side of the addresses the PC names; one list for both ends.
constexpr std::uint16_t kHeaderAddress = CopierAddress::SwcUploadHeader;
constexpr std::uint16_t kSramEnable = CopierAddress::SwcSramSelect;
constexpr std::uint16_t kDramHigh = CopierAddress::SwcDramHighPages;
constexpr std::uint16_t kCartridgeMode = CopierAddress::SwcCartridgeSelect;
constexpr std::uint16_t kCopierMode = CopierAddress::SwcSaveSelect;
constexpr std::uint16_t kSignatureAddress = CopierAddress::SwcSignature;
constexpr std::uint16_t kSignaturePage = 0x1F;  // bank 7, quarter 3
constexpr std::uint16_t kSramFirstPage = 0x100;
constexpr std::uint8_t kSignature[3] = {'S', 'U', 'B'};
constexpr std::uint16_t kRegisters[] = {kSramEnable, kDramHigh, kCartridgeMode, kCopierMode};
constexpr std::uint32_t kWindow = kSwcBlockSize;

}  // namespace

SwcMemory::SwcMemory(CopierStore& store, bool realTimeSignature)
    : store_(store), realTimeSignature_(realTimeSignature) {}

void SwcMemory::SelectPage(std::uint16_t page) {
  page_ = page;
  signatureArmed_ = false;
}

Span SwcMemory::Map(std::uint16_t address, bool forWrite) {
  const std::uint16_t offset = address & (kWindow - 1);
  switch (address >> 13) {
    case 0:
      return Low(address);
    case 1:
      if (cartridgeMode_) return cartridge_.Lower(Bank(), Quarter(), offset);
      return SramWindow(address);
    case 4: {
      const std::uint32_t page = (highDram_ & 1u) * 512u + (page_ & 0x1FFu);
      return store_.DramSpan(page, offset, forWrite, bankDropsWrites_[(page_ >> 2) & 0x7F]);
    }
    case 5:
      if (cartridgeMode_) return cartridge_.Upper(Bank(), Quarter(), offset);
      return RealTimeWindow(address);
    default:
      return FlatSpan(store_, address, (address & 0xE000u) + kWindow, kRegisters, std::size(kRegisters));
  }
}

Span SwcMemory::Low(std::uint16_t address) {
  if (address < kHeaderAddress) return Span::Bytes(store_.flat.data() + address, kHeaderAddress - address);
  if (address < kHeaderAddress + store_.header.size()) {
    const std::uint32_t at = address - kHeaderAddress;
    return Span::Bytes(store_.header.data() + at, static_cast<std::uint32_t>(store_.header.size()) - at);
  }
  return Span::Bytes(store_.flat.data() + address, kWindow - address);
}

Span SwcMemory::SramWindow(std::uint16_t address) {
  const std::uint32_t offset = address & (kWindow - 1);
  if (sramEnabled_ && page_ >= kSramFirstPage && page_ < kSramFirstPage + kSramSize / kWindow)
    return Span::Bytes(store_.sram.data() + (page_ - kSramFirstPage) * kWindow + offset, kWindow - offset);
  return FlatSpan(store_, address, 0x4000, kRegisters, 0);
}

Span SwcMemory::RealTimeWindow(std::uint16_t address) {
  const bool signatureShown = realTimeSignature_ && signatureArmed_ && page_ == kSignaturePage;
  if (signatureShown) {
    if (address >= kSignatureAddress && address < kSignatureAddress + 3) return Span::Reg();
    if (address < kSignatureAddress) return RealTimeArea(address, kSignatureAddress);
  }
  return RealTimeArea(address, 0xC000);
}

Span SwcMemory::RealTimeArea(std::uint16_t address, std::uint32_t end) {
  if (!realTimeSignature_ || page_ >= kRealTimeAreaSize / kWindow) return FlatSpan(store_, address, end, kRegisters, 0);
  const std::uint32_t offset = address & (kWindow - 1);
  return Span::Bytes(store_.realTimeArea.data() + page_ * kWindow + offset, end - address);
}

void SwcMemory::WriteRegister(std::uint16_t address, std::uint8_t value) {
  if (address >= kSignatureAddress && address < kSignatureAddress + 3) {
    // The signature only covers reads; a write reaches the area beneath.
    store_.realTimeArea[page_ * kWindow + (address & (kWindow - 1))] = value;
    return;
  }
  store_.flat[address] = value;
  switch (address) {
    case kDramHigh:
      highDram_ = value;
      break;
    case kSramEnable:
      sramEnabled_ = true;
      break;
    case kCartridgeMode:
      cartridgeMode_ = true;
      sramEnabled_ = false;
      signatureArmed_ = false;
      break;
    case kCopierMode:
      cartridgeMode_ = false;
      sramEnabled_ = false;
      signatureArmed_ = true;
      break;
    default:
      break;
  }
}

std::uint8_t SwcMemory::ReadRegister(std::uint16_t address) {
  if (address >= kSignatureAddress && address < kSignatureAddress + 3) return kSignature[address - kSignatureAddress];
  return store_.flat[address];
}

void SwcMemory::SetCartridge(std::vector<std::uint8_t> image, bool hiRom) { cartridge_.Plug(std::move(image), hiRom); }

}  // namespace ql::emu
