#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/front_end.h"
#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/copier_ops.h"
#include "link/handshake.h"
#include "link/link_timeout.h"
#include "rom/copier_header.h"
#include "transfer/cartridge_probe.h"
#include "transfer/download_reads.h"
#include "transfer/downloads.h"
#include "transfer/rom_upload.h"
#include "transfer/save_dialogs.h"
#include "transfer/transfer_feedback.h"
#include "transfer/transfer_files.h"

namespace ql {
namespace {

constexpr const char* kCaption = TransferCaption::DownloadCartridge;
constexpr std::uint16_t kSwcBlock = kSwcBlockSize;
constexpr std::uint16_t kSmdBlock = kSmdBlockSize;
// Where the SRAM size code lies in the page of bank 0, quarter 3.
constexpr std::size_t kSramCodeInPage = CopierAddress::SwcCartridgeSramCode - CopierAddress::SwcHighWindow;
// Pages of 16 KB in one 128 KB unit of the SMD cartridge size.
constexpr std::uint32_t kSmdPagesPerUnit = 8;
// SWC cartridge banks: LoROM reads 32 KB of each (the high window's four
// pages); HiROM 64 KB (the low window's four pages of bank + 0x40 first).
constexpr std::uint8_t kHiRomLowerBankOffset = 0x40;

enum class CopyEnd { Finished, Cancelled, WriteFailed, ReadFailed };


// Reads the blocks into one buffer and appends each to the file as it comes.
class BlockCopier {
 public:
  BlockCopier(OutputFile& file, const std::string& path, std::vector<std::uint8_t>& buffer, std::uint32_t total)
      : file_(file), path_(path), buffer_(buffer), total_(total) {}

  // One block: cancel test, progress, page selection and read (again while
  // it arrives damaged), write. False when the copy has to stop; a block
  // that never arrived intact is not written.
  template <typename SelectFn, typename WhereFn>
  bool Copy(SelectFn select, std::uint16_t window, std::uint16_t length, WhereFn where) {
    if (CancelRequested) {
      end_ = CopyEnd::Cancelled;
      return false;
    }
    ShowTransferProgress("ROM", done_, total_);
    if (!reads_.Read(select, window, buffer_.data(), length, where)) {
      end_ = CopyEnd::ReadFailed;
      return false;
    }
    if (!file_.Write(buffer_.data(), length)) {
      end_ = CopyEnd::WriteFailed;
      ShowTransferError(CannotWriteText(path_, file_.Error()), kCaption);
      return false;
    }
    done_ += length / kKilobitBytes;
    return true;
  }

  CopyEnd End() const { return end_; }
  const DownloadReads& Reads() const { return reads_; }

 private:
  DownloadReads reads_{kCaption};
  OutputFile& file_;
  const std::string& path_;
  std::vector<std::uint8_t>& buffer_;
  std::uint32_t total_;
  std::uint32_t done_ = 0;
  CopyEnd end_ = CopyEnd::Finished;
};

std::string BankQuarter(std::uint8_t bank, std::uint8_t quarter) {
  return "bank " + HexText(bank, 2) + ", quarter " + std::to_string(quarter);
}

void CopySmdCartridge(BlockCopier& copier, std::uint8_t units) {
  WriteMemoryByte(CopierAddress::SmdModeRegister, SmdMode::Transfer);
  for (std::uint32_t u = 0; u < units; ++u) {
    for (std::uint32_t q = 0; q < kSmdPagesPerUnit; ++q) {
      const auto page = static_cast<std::uint8_t>(u * kSmdPagesPerUnit + q);
      auto select = [page] { SelectPage(page); };
      auto where = [page] { return "page " + HexText(page, 2); };
      if (!copier.Copy(select, CopierAddress::SmdLowWindow, kSmdBlock, where)) return;
    }
  }
}

// Copies the cartridge; when the SRAM size code could not be read, takes it
// from the cartridge's own header as it passes and mends the mode byte.
void CopySwcCartridge(BlockCopier& copier, OutputFile& file, std::vector<std::uint8_t>& buffer, std::uint8_t banks,
                      bool hiRom, std::uint32_t headerBlocks, bool sramCodeKnown) {
  for (std::uint32_t b = 0; b < banks; ++b) {
    const auto bank = static_cast<std::uint8_t>(b);
    if (hiRom) {
      const auto lowerBank = static_cast<std::uint8_t>(bank + kHiRomLowerBankOffset);
      for (std::uint8_t q = 0; q < kSwcPagesPerBank; ++q) {
        auto select = [lowerBank, q] { SelectBankPage(lowerBank, q); };
        auto where = [lowerBank, q] { return BankQuarter(lowerBank, q); };
        if (!copier.Copy(select, CopierAddress::SwcLowWindow, kSwcBlock, where)) return;
      }
    }
    for (std::uint8_t q = 0; q < kSwcPagesPerBank; ++q) {
      auto select = [bank, q] { SelectBankPage(bank, q); };
      auto where = [bank, q] { return BankQuarter(bank, q); };
      if (!copier.Copy(select, CopierAddress::SwcHighWindow, kSwcBlock, where)) return;
      if (!sramCodeKnown && b == 0 && q == 3) {
        const std::uint8_t mode = SwcModeByteFor(buffer[kSramCodeInPage], headerBlocks, hiRom);
        sramCodeKnown = true;
        file.WriteAt(2, &mode, 1);
      }
    }
  }
}

// What the operation holds while it talks to the copier; the clean-up runs
// on every way out once the file exists.
struct CartridgeDownload {
  OutputFile file;
  std::string path;
  bool fileCreated = false;
  bool writeFailed = false;
};

// The cartridge size (SMD units or SWC banks, 0 when there is none); false
// after a message when the SMD size never passes its check byte.
bool FindCartridge(bool smd, std::uint8_t& size, bool& hiRom) {
  if (!smd) {
    if (!DetectCartridge(&size, &hiRom)) size = 0;
    return true;
  }
  std::optional<std::uint8_t> units = ReadSmdCartridgeUnits();
  if (!units) {
    ShowTransferError(CartridgeSizeUnreadableText(), kCaption);
    return false;
  }
  size = *units;
  return true;
}

// Steps up to the end of the copy; lets LinkTimeout through.
void RunCartridgeDownload(CartridgeDownload& download) {
  const bool smd = SelectedDevice == kDeviceSmd;
  std::uint8_t size = 0;
  bool hiRom = false;
  if (!FindCartridge(smd, size, hiRom)) return;
  if (size == 0) {
    ShowTransferError(kNoCartridgeText, kCaption);
    return;
  }

  SaveFileRequest request = CartridgeSaveRequest(SelectedDevice);
  if (!UI().AskSaveFileName(request)) return;
  download.path = request.fileName;
  const std::string& path = download.path;

  std::vector<std::uint8_t> buffer;
  try {
    buffer.assign(smd ? kSmdBlock : kSwcBlock, 0);  // a whole block of either device
  } catch (const std::bad_alloc&) {
    ShowTransferError(OutOfMemoryText(path), kCaption);
    return;
  }
  if (!download.file.Create(path)) {
    ShowTransferError(CannotCreateText(path, download.file.Error()), kCaption);
    return;
  }
  download.fileCreated = true;

  const std::uint32_t swcPagesPerBank = hiRom ? 2 * kSwcPagesPerBank : kSwcPagesPerBank;
  const std::uint32_t headerBlocks = size * (smd ? kSmdPagesPerUnit : swcPagesPerBank);
  const std::uint32_t total = headerBlocks * (smd ? kSmdBlock : kSwcBlock) / kKilobitBytes;
  std::uint8_t mode = 0;
  bool sramCodeKnown = true;
  if (!smd) {
    std::optional<std::uint8_t> code = ReadCartridgeSramSizeCode();
    // Unreadable: assume no SRAM until the cartridge header passes by.
    sramCodeKnown = code.has_value();
    mode = SwcModeByteFor(code.value_or(0), headerBlocks, hiRom);
  }
  FillCopierHeader(buffer.data(), static_cast<std::uint16_t>(headerBlocks), mode,
                   smd ? CopierFileType::SmdRom : CopierFileType::SwcRom);
  if (!download.file.Write(buffer.data(), kCopierHeaderSize)) {
    download.writeFailed = true;
    ShowTransferError(CannotWriteText(path, download.file.Error()), kCaption);
    return;
  }
  BlockCopier copier(download.file, path, buffer, total);
  if (smd) {
    CopySmdCartridge(copier, size);
  } else {
    CopySwcCartridge(copier, download.file, buffer, size, hiRom, headerBlocks, sramCodeKnown);
  }
  download.writeFailed = copier.End() == CopyEnd::WriteFailed;
  if (copier.End() == CopyEnd::Finished && copier.Reads().Verifying()) copier.Reads().ShowSummary();
}

}  // namespace

void DownloadCartridgeRom() {
  CartridgeDownload download;
  try {
    RunCartridgeDownload(download);
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
  if (!download.fileCreated) return;
  ClearTransferProgress();
  if (!download.file.Close() && !download.writeFailed) {
    ShowTransferError(CannotWriteText(download.path, download.file.Error()), kCaption);
  }
}

}  // namespace ql
