#include "rom/cartridge_info.h"

#include "core/front_end.h"
#include "link/block_reads.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/copier_ops.h"
#include "link/handshake.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"

namespace ql {
namespace {

constexpr const char* kCaption = "Cartridge Info";
// Bank 0, quarter 3 puts the cartridge's header (0xFFC0) in the high window.
constexpr std::uint8_t kHeaderBank = 0;
constexpr std::uint8_t kHeaderQuarter = 3;

}  // namespace

void ShowCartridgeInfo() {
  if (!EnsureLinkReady()) return;  // the link has said why
  std::uint8_t banks = 0;
  bool hiRom = false;
  if (!DetectCartridge(&banks, &hiRom)) {
    UI().ShowMessage(kNoCartridgeText, kCaption, MessageIcon::Stop);
    return;
  }
  std::array<std::uint8_t, 64> header{};
  try {
    // A header that never arrives intact is not shown: its codes would be taken as the cartridge's.
    if (ReadBlockWithRepeats([] { SelectBankPage(kHeaderBank, kHeaderQuarter); }, CopierAddress::SwcCartridgeHeader,
                             header.data(), static_cast<std::uint16_t>(header.size())) == 0) {
      UI().ShowMessage(DamagedBlockText("bank 0x00, quarter 3 (the cartridge header)"), kCaption, MessageIcon::Stop);
      return;
    }
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
    return;
  }
  UI().ShowMessage(FormatCartridgeReport(header, banks, hiRom), kCaption, MessageIcon::None);
}

}  // namespace ql
