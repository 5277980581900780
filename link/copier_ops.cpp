#include "link/copier_ops.h"

#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/handshake.h"
#include "link/link_state.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"

namespace ql {
namespace {

constexpr std::uint32_t kSmdLargeAboveBlocks = 2 * 1024 * 1024 / kSmdBlockSize;
constexpr std::uint8_t kSignature[3] = {'S', 'U', 'B'};
constexpr std::uint16_t kDramProbeAddress = CopierAddress::DramWindow;
constexpr std::uint8_t kDramCandidates[3] = {0x76, 0x56, 0x36};
constexpr std::uint8_t kSmallestDramBank = 0x16;

std::uint8_t Byte(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

void PlayCartridge() {
  if (!EnsureLinkReady()) return;
  if (SelectedDevice == kDeviceSwc && !DetectCartridge(nullptr, nullptr)) {
    UI().ShowMessage(kNoCartridgeText, "Play Cartridge", MessageIcon::Stop);
    return;
  }
  try {
    SelectBankPage(0, 2);
    SendFunction(CopierFunction::PlayCartridge, 0, 0, 0);
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
}

void ExecuteImage() {
  if (!EnsureLinkReady()) return;
  try {
    if (SelectedDevice == kDeviceSmd) {
      WriteMemoryByte(CopierAddress::SmdModeRegister,
                      RomBlockCount > kSmdLargeAboveBlocks ? SmdMode::RunLarge : SmdMode::RunSmall);
    } else {
      SelectBankPage(0, 0);
      SendFunction(CopierFunction::BlockCount, Byte(RomBlockCount), Byte(RomBlockCount >> 8), 0);
      SendFunction(CopierFunction::Execute, SwcModeByte, RealTimeMode ? 1 : 0, 0);
    }
    ReleaseLink();
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
}

void ReleaseLink() {
  LinkTimer(1);
  PortIo* port = link_state::boundPort;
  if (port == nullptr) return;
  const std::uint16_t base = link_state::lptBase;
  port->PortOut(static_cast<std::uint16_t>(base + kDataRegister), 0x00);
  port->PortIn(static_cast<std::uint16_t>(base + kControlRegister));
  // Bits 0, 1 and 3 set, bit 2 (INIT) clear.
  port->PortOut(static_cast<std::uint16_t>(base + kControlRegister), 0x0B);
}

void SelectSwcSram() {
  SelectBankPage(0, 0);
  WriteMemoryByte(CopierAddress::SwcSaveSelect, 0);
  WriteMemoryByte(CopierAddress::SwcSramSelect, 0);
}

bool HasRealTimeSaveSupport() {
  SelectBankPage(7, 3);
  WriteMemoryByte(CopierAddress::SwcSaveSelect, 0);
  for (std::uint16_t i = 0; i < 3; ++i) {
    // -1 (failed check) never equals a signature byte.
    if (ReadMemoryByte(static_cast<std::uint16_t>(CopierAddress::SwcSignature + i)) != kSignature[i]) return false;
  }
  return true;
}

bool IsDramBankWritable(std::uint8_t bank) {
  SelectBankPage(bank, 0);
  const std::uint8_t original = static_cast<std::uint8_t>(ReadMemoryByte(kDramProbeAddress));
  WriteMemoryByte(kDramProbeAddress, static_cast<std::uint8_t>(original ^ 0xFF));
  if (ReadMemoryByte(kDramProbeAddress) == original) return false;
  WriteMemoryByte(kDramProbeAddress, original);
  return true;
}

std::uint8_t FindTopDramBank() {
  for (std::uint8_t bank : kDramCandidates) {
    if (IsDramBankWritable(bank)) return bank;
  }
  return kSmallestDramBank;
}

}  // namespace ql
