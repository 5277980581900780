#include <new>
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
#include "transfer/download_reads.h"
#include "transfer/downloads.h"
#include "transfer/real_time_area.h"
#include "transfer/save_dialogs.h"
#include "transfer/transfer_feedback.h"
#include "transfer/transfer_files.h"

namespace ql {
namespace {

// The SMD shows its SRAM in two halves of one 16 KB page each.
constexpr std::uint32_t kSmdSramHalf = kSmdBlockSize;

// Asks for the file, allocates the zeroed buffer and creates the file; false
// when the dialog was cancelled (silently) or a step failed (with a message).
bool PrepareDownload(SaveFileRequest& request, std::vector<std::uint8_t>& buffer, std::size_t bufferSize,
                     OutputFile& file, const char* caption) {
  if (!UI().AskSaveFileName(request)) return false;
  try {
    buffer.assign(bufferSize, 0);
  } catch (const std::bad_alloc&) {
    ShowTransferError(OutOfMemoryText(request.fileName), caption);
    return false;
  }
  if (file.Create(request.fileName)) return true;
  ShowTransferError(CannotCreateText(request.fileName, file.Error()), caption);
  return false;
}

// Shows the write failure once; true when the bytes were written.
bool WriteChecked(OutputFile& file, const std::uint8_t* data, std::size_t length, const std::string& path,
                  const char* caption, bool& failed) {
  if (file.Write(data, length)) return true;
  failed = true;
  ShowTransferError(CannotWriteText(path, file.Error()), caption);
  return false;
}

void FinishDownload(OutputFile& file, const std::string& path, const char* caption, bool failed) {
  ClearTransferProgress();
  if (!file.Close() && !failed) ShowTransferError(CannotWriteText(path, file.Error()), caption);
}

// Reads the 32 KB SRAM image (up to a cancel on the SWC); false after the
// message about a block that never arrived intact.
bool ReadSramImage(std::uint8_t* image, const char* caption) {
  DownloadReads reads(caption);
  if (SelectedDevice == kDeviceSmd) {
    for (std::uint32_t offset = 0; offset < kSramSize; offset += kSmdSramHalf) {
      ShowTransferProgress("SRAM", offset / kKilobitBytes, kSramSize / kKilobitBytes);
      const std::uint16_t address = offset == 0 ? CopierAddress::SmdLowWindow : CopierAddress::DramWindow;
      // Both halves are always in view: there is no page to select.
      auto where = [address] { return "copier address " + HexText(address, 4) + " (SRAM)"; };
      if (!reads.Read([] {}, address, image + offset, kSmdSramHalf, where)) return false;
    }
  } else {
    SelectSwcSram();
    for (std::uint8_t q = 0; q < kSramSize / kSwcBlockSize; ++q) {
      if (CancelRequested) return true;
      ShowTransferProgress("SRAM", q * kSwcBlockSize / kKilobitBytes, kSramSize / kKilobitBytes);
      auto select = [q] { SelectBankPage(CopierAddress::SwcSramBank, q); };
      auto where = [q] { return "SRAM page " + HexText(CopierAddress::SwcSramBank * kSwcPagesPerBank + q, 3); };
      if (!reads.Read(select, CopierAddress::SwcLowWindow, image + q * kSwcBlockSize, kSwcBlockSize, where)) {
        return false;
      }
    }
  }
  if (reads.Verifying()) reads.ShowSummary();
  return true;
}

}  // namespace

void DownloadSram() {
  constexpr const char* caption = TransferCaption::DownloadSram;
  SaveFileRequest request = SramSaveRequest();
  std::vector<std::uint8_t> buffer;
  OutputFile file;
  // Zeroed buffer: pages a cancel leaves unread are written as zeros.
  if (!PrepareDownload(request, buffer, kSramSize, file, caption)) return;
  const std::string& path = request.fileName;

  bool failed = false;
  if (SramFileGetsHeader(request)) {
    FillCopierHeader(buffer.data(), 0, 0,
                     SelectedDevice == kDeviceSmd ? CopierFileType::SmdSram : CopierFileType::SwcSram);
    WriteChecked(file, buffer.data(), kCopierHeaderSize, path, caption, failed);
    buffer.assign(kSramSize, 0);
  }
  if (!failed) {
    try {
      // The image is written in one piece: a block that never arrives
      // intact leaves the file without data, as a time-out does.
      if (ReadSramImage(buffer.data(), caption)) WriteChecked(file, buffer.data(), kSramSize, path, caption, failed);
    } catch (const LinkTimeout&) {
      ReportLinkTimeout();
    }
  }
  FinishDownload(file, path, caption, failed);
}

void DownloadRealTimeSave() {
  constexpr const char* caption = TransferCaption::DownloadRealTime;
  SaveFileRequest request = RealTimeSaveRequest();
  std::vector<std::uint8_t> buffer;
  OutputFile file;
  if (!PrepareDownload(request, buffer, kRealTimePageSize, file, caption)) return;
  const std::string& path = request.fileName;

  bool failed = false;
  FillCopierHeader(buffer.data(), 0, 0, CopierFileType::SwcRealTime);
  if (WriteChecked(file, buffer.data(), kCopierHeaderSize, path, caption, failed)) {
    try {
      const RealTimeAreaPlace place = LocateRealTimeArea();
      DownloadReads reads(caption);
      bool stopped = false;
      for (std::uint32_t j = 0; j < kRealTimeAreaPages && !stopped; ++j) {
        if (CancelRequested) {
          stopped = true;
          break;
        }
        ShowTransferProgress("Real-time", j * kRealTimePageSize / kKilobitBytes, kRealTimeAreaKilobits);
        auto select = [&place, j] { SelectRealTimePage(place, j); };
        auto where = [j] { return "page " + std::to_string(j) + " of the real-time save area"; };
        stopped = !reads.Read(select, place.window, buffer.data(), kRealTimePageSize, where) ||
                  !WriteChecked(file, buffer.data(), kRealTimePageSize, path, caption, failed);
      }
      if (!stopped && reads.Verifying()) reads.ShowSummary();
      // Only a complete download closes the real-time session.
      if (!stopped) SendFunction(CopierFunction::EndRealTime, 0, 0, 0);
    } catch (const LinkTimeout&) {
      ReportLinkTimeout();
    }
  }
  FinishDownload(file, path, caption, failed);
}

}  // namespace ql
