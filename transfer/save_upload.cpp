#include "transfer/save_upload.h"

#include <new>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/copier_ops.h"
#include "link/handshake.h"
#include "link/link_timeout.h"
#include "transfer/real_time_area.h"
#include "transfer/transfer_feedback.h"
#include "transfer/transfer_files.h"
#include "transfer/upload_read_back.h"
#include "transfer/verification.h"

namespace ql {
namespace {

// The SMD shows its SRAM in two halves of one 16 KB page each.
constexpr std::uint32_t kSmdHalfSize = kSmdBlockSize;

// Reads length bytes at offset into a zeroed buffer of bufferSize bytes; shows
// the step's message and returns false when that fails.
bool LoadStepData(InputFile& file, const std::string& path, long long offset, std::size_t length,
                  std::size_t bufferSize, std::vector<std::uint8_t>& buffer, const char* caption) {
  try {
    buffer.assign(bufferSize, 0);
  } catch (const std::bad_alloc&) {
    ShowTransferError(OutOfMemoryText(path), caption);
    return false;
  }
  if (!file.ReadAt(offset, buffer.data(), length)) {
    ShowTransferError(FileChangedText(path), caption);
    return false;
  }
  return true;
}

}  // namespace

bool UploadSram() {
  const std::string path = SramPath;
  InputFile file(path);
  if (!InputOpened(file, path, TransferCaption::UploadSram)) return false;

  const long long skip = SramHasCopierHeader ? static_cast<long long>(kCopierHeaderSize) : 0;
  const long long fileSize = file.Size();
  if (fileSize < skip) {
    ShowTransferError(FileChangedText(path), TransferCaption::UploadSram);
    return false;
  }
  const long long dataSize = fileSize - skip;
  if (dataSize == 0) {
    ShowTransferError(SramFileEmptyText(path), TransferCaption::UploadSram);
    return false;
  }
  if (dataSize > kSramSize) {
    ShowTransferError(FileTooLargeText(path), TransferCaption::UploadSram);
    return false;
  }

  const bool smd = SelectedDevice == kDeviceSmd;
  const std::uint32_t size = static_cast<std::uint32_t>(dataSize);
  const std::uint32_t unit = smd ? kSmdHalfSize : kSwcBlockSize;
  std::vector<std::uint8_t> buffer;
  if (!LoadStepData(file, path, skip, size, (size + unit - 1) / unit * unit, buffer, TransferCaption::UploadSram)) {
    return false;
  }
  file.Close();

  bool complete = false;
  try {
    if (smd) {
      WriteMemoryByte(CopierAddress::SmdModeRegister, SmdMode::Sram);
      for (std::uint32_t i = 0; i < 2; ++i) {
        ShowTransferProgress("SRAM", i * kSmdHalfSize / kKilobitBytes, size / kKilobitBytes);
        // Data of 16 KB or less goes to both halves.
        const std::uint8_t* half = buffer.data() + (i == 1 && size > kSmdHalfSize ? kSmdHalfSize : 0);
        WriteMemoryBlock(i == 0 ? CopierAddress::SmdLowWindow : CopierAddress::DramWindow, half, kSmdHalfSize);
      }
      complete = !VerifyUploads ||
                 ReadBackSramSmd(buffer.data(), buffer.data() + (size > kSmdHalfSize ? kSmdHalfSize : 0));
    } else {
      SelectSwcSram();
      std::uint32_t i = 0;
      bool cancelled = false;
      do {
        if (CancelRequested) {
          cancelled = true;
          break;
        }
        ShowTransferProgress("SRAM", i * kSwcBlockSize / kKilobitBytes, size / kKilobitBytes);
        SelectBankPage(CopierAddress::SwcSramBank, static_cast<std::uint8_t>(i));
        WriteMemoryBlock(CopierAddress::SwcLowWindow, buffer.data() + i * kSwcBlockSize, kSwcBlockSize);
        ++i;
      } while (i * kSwcBlockSize < size);
      complete = !cancelled && (!VerifyUploads || ReadBackSramSwc(buffer.data(), i));
    }
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
  ShowTransferProgress("SRAM", size / kKilobitBytes, size / kKilobitBytes);
  return complete;
}

bool UploadRealTimeSave() {
  const std::string path = RealTimePath;
  InputFile file(path);
  if (!InputOpened(file, path, TransferCaption::UploadRealTime)) return false;

  const long long fileSize = file.Size();
  if (fileSize < static_cast<long long>(kCopierHeaderSize + kRealTimeAreaSize)) {
    ShowTransferError(RealTimeFileShortText(path), TransferCaption::UploadRealTime);
    return false;
  }
  std::vector<std::uint8_t> area;
  if (!LoadStepData(file, path, kCopierHeaderSize, kRealTimeAreaSize, kRealTimeAreaSize, area,
                    TransferCaption::UploadRealTime)) {
    return false;
  }
  file.Close();

  bool complete = false;
  try {
    const RealTimeAreaPlace place = LocateRealTimeArea();
    bool cancelled = false;
    for (std::uint32_t j = 0; j < kRealTimeAreaPages; ++j) {
      if (CancelRequested) {
        cancelled = true;
        break;
      }
      ShowTransferProgress("Real-time", j * kRealTimePageSize / kKilobitBytes, kRealTimeAreaKilobits);
      SelectRealTimePage(place, j);
      WriteMemoryBlock(place.window, area.data() + j * kRealTimePageSize, kRealTimePageSize);
    }
    const bool readBackSame = cancelled || !VerifyUploads || ReadBackRealTimeArea(place, area.data());
    // A cancelled upload still closes the real-time session, and so does one that read back different.
    ShowTransferProgress("Real-time", kRealTimeAreaKilobits, kRealTimeAreaKilobits);
    SendFunction(CopierFunction::EndRealTime, 0, 0, 0);
    complete = !cancelled && readBackSame;
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
  return complete;
}

}  // namespace ql
