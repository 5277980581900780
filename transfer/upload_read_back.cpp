#include "transfer/upload_read_back.h"

#include <string>

#include "core/types.h"
#include "link/commands.h"
#include "transfer/transfer_feedback.h"
#include "transfer/upload_verify.h"

namespace ql {
namespace {

constexpr std::uint16_t kSwcBlock = 8192;
constexpr std::uint16_t kSmdBlock = 16384;
constexpr auto kHeaderLength = static_cast<std::uint16_t>(kCopierHeaderSize);

std::string BankQuarter(std::uint32_t page) {
  return "bank " + HexText(page / 4, 2) + ", quarter " + std::to_string(page % 4);
}

}  // namespace

bool ReadBackRomSwc(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks) {
  UploadReadBack check(TransferCaption::UploadRom, "ROM", blocks * (kSwcBlock / 128u));
  if (!check.Check([] { SelectBankPage(0, 0); }, 0x0400, header, kHeaderLength,
                   [] { return std::string("copier address 0x0400 (the upload header)"); })) {
    return false;
  }
  for (std::uint32_t i = 0; i < blocks; ++i) {
    auto select = [i] {
      WriteMemoryByte(0xC010, static_cast<std::uint8_t>(i / 512));
      SelectBankPage(static_cast<std::uint8_t>(i / 4), static_cast<std::uint8_t>(i % 4));
    };
    auto what = [i] { return BankQuarter(i) + " (ROM block " + std::to_string(i) + ")"; };
    if (!check.Check(select, 0x8000, data + i * kSwcBlock, kSwcBlock, what)) return false;
  }
  return true;
}

bool ReadBackRomSmd(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks) {
  UploadReadBack check(TransferCaption::UploadRom, "ROM", blocks * (kSmdBlock / 128u));
  // The header was written with no page selected: it lies outside the windows.
  if (!check.Check([] {}, 0xDC00, header, kHeaderLength,
                   [] { return std::string("copier address 0xDC00 (the upload header)"); })) {
    return false;
  }
  for (std::uint32_t i = 0; i < blocks; ++i) {
    const auto page = static_cast<std::uint8_t>(i);
    auto what = [i, page] { return "page " + HexText(page, 2) + " (ROM block " + std::to_string(i) + ")"; };
    if (!check.Check([page] { SelectPage(page); }, 0x8000, data + i * kSmdBlock, kSmdBlock, what)) return false;
  }
  return true;
}

bool ReadBackSramSwc(const std::uint8_t* data, std::uint32_t pages) {
  UploadReadBack check(TransferCaption::UploadSram, "SRAM", pages * (kSwcBlock / 128u));
  for (std::uint32_t i = 0; i < pages; ++i) {
    const auto quarter = static_cast<std::uint8_t>(i);
    auto what = [i] { return "SRAM page " + HexText(0x100u + i, 3); };
    if (!check.Check([quarter] { SelectBankPage(0x40, quarter); }, 0x2000, data + i * kSwcBlock, kSwcBlock, what)) {
      return false;
    }
  }
  return true;
}

bool ReadBackSramSmd(const std::uint8_t* firstHalf, const std::uint8_t* secondHalf) {
  UploadReadBack check(TransferCaption::UploadSram, "SRAM", 2 * (kSmdBlock / 128u));
  const std::uint8_t* halves[2] = {firstHalf, secondHalf};
  for (std::uint16_t i = 0; i < 2; ++i) {
    const auto address = static_cast<std::uint16_t>((i + 1) * 0x4000);
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
