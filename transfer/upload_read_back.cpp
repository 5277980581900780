#include "transfer/upload_read_back.h"

#include <string>

#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "transfer/transfer_feedback.h"
#include "transfer/upload_verify.h"

namespace ql {
namespace {

constexpr auto kSwcBlock = static_cast<std::uint16_t>(kSwcBlockSize);
constexpr auto kSmdBlock = static_cast<std::uint16_t>(kSmdBlockSize);
// Blocks the page register reaches; SwcDramHighPages selects the next such run.
constexpr std::uint32_t kSwcBlocksPerHighPage = 512;
constexpr auto kHeaderLength = static_cast<std::uint16_t>(kCopierHeaderSize);

std::string BankQuarter(std::uint32_t page) {
  return "bank " + HexText(page / kSwcPagesPerBank, 2) + ", quarter " + std::to_string(page % kSwcPagesPerBank);
}

}  // namespace

bool ReadBackRomSwc(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks) {
  UploadReadBack check(TransferCaption::UploadRom, "ROM", blocks * (kSwcBlock / kKilobitBytes));
  if (!check.Check(
          [] { SelectBankPage(0, 0); }, CopierAddress::SwcUploadHeader, header, kHeaderLength,
          [] { return "copier address " + HexText(CopierAddress::SwcUploadHeader, 4) + " (the upload header)"; },
          false)) {
    return false;
  }
  for (std::uint32_t i = 0; i < blocks; ++i) {
    auto select = [i] {
      WriteMemoryByte(CopierAddress::SwcDramHighPages, static_cast<std::uint8_t>(i / kSwcBlocksPerHighPage));
      SelectBankPage(static_cast<std::uint8_t>(i / kSwcPagesPerBank), static_cast<std::uint8_t>(i % kSwcPagesPerBank));
    };
    auto what = [i] { return BankQuarter(i) + " (ROM block " + std::to_string(i) + ")"; };
    if (!check.Check(select, CopierAddress::DramWindow, data + i * kSwcBlock, kSwcBlock, what)) return false;
  }
  return true;
}

bool ReadBackRomSmd(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks) {
  UploadReadBack check(TransferCaption::UploadRom, "ROM", blocks * (kSmdBlock / kKilobitBytes));
  // The header was written with no page selected: it lies outside the windows.
  if (!check.Check(
          [] {}, CopierAddress::SmdUploadHeader, header, kHeaderLength,
          [] { return "copier address " + HexText(CopierAddress::SmdUploadHeader, 4) + " (the upload header)"; },
          false)) {
    return false;
  }
  for (std::uint32_t i = 0; i < blocks; ++i) {
    const auto page = static_cast<std::uint8_t>(i);
    auto what = [i, page] { return "page " + HexText(page, 2) + " (ROM block " + std::to_string(i) + ")"; };
    auto select = [page] { SelectPage(page); };
    if (!check.Check(select, CopierAddress::DramWindow, data + i * kSmdBlock, kSmdBlock, what)) return false;
  }
  return true;
}

bool ReadBackSramSwc(const std::uint8_t* data, std::uint32_t pages) {
  UploadReadBack check(TransferCaption::UploadSram, "SRAM", pages * (kSwcBlock / kKilobitBytes));
  for (std::uint32_t i = 0; i < pages; ++i) {
    const auto quarter = static_cast<std::uint8_t>(i);
    auto what = [i] { return "SRAM page " + HexText(CopierAddress::SwcSramBank * kSwcPagesPerBank + i, 3); };
    auto select = [quarter] { SelectBankPage(CopierAddress::SwcSramBank, quarter); };
    if (!check.Check(select, CopierAddress::SwcLowWindow, data + i * kSwcBlock, kSwcBlock, what)) return false;
  }
  return true;
}

bool ReadBackSramSmd(const std::uint8_t* firstHalf, const std::uint8_t* secondHalf) {
  UploadReadBack check(TransferCaption::UploadSram, "SRAM", 2 * (kSmdBlock / kKilobitBytes));
  const std::uint8_t* halves[2] = {firstHalf, secondHalf};
  for (int i = 0; i < 2; ++i) {
    const std::uint16_t address = i == 0 ? CopierAddress::SmdLowWindow : CopierAddress::DramWindow;
    auto what = [address] { return "copier address " + HexText(address, 4) + " (SRAM)"; };
    if (!check.Check([] {}, address, halves[i], kSmdBlock, what)) return false;
  }
  return true;
}

bool ReadBackRealTimeArea(const RealTimeAreaPlace& place, const std::uint8_t* area) {
  UploadReadBack check(TransferCaption::UploadRealTime, "Real-time", kRealTimeAreaKilobits);
  for (std::uint32_t j = 0; j < kRealTimeAreaPages; ++j) {
    auto what = [j] { return "page " + std::to_string(j) + " of the real-time save area"; };
    if (!check.Check([&place, j] { SelectRealTimePage(place, j); }, place.window, area + j * kRealTimePageSize,
                     static_cast<std::uint16_t>(kRealTimePageSize), what)) {
      return false;
    }
  }
  return true;
}

}  // namespace ql
