#include "transfer/rom_upload.h"

#include <new>
#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/handshake.h"
#include "link/link_timeout.h"
#include "rom/copier_header.h"
#include "rom/ips_patch.h"
#include "rom/smd_interleave.h"
#include "transfer/transfer_feedback.h"
#include "transfer/transfer_files.h"
#include "transfer/upload_read_back.h"
#include "transfer/verification.h"

namespace ql {
namespace {

// The largest images the loader accepts: 48 Mbit for the SWC, 32 Mbit for the SMD.
constexpr long long kSwcMaxData = 48LL * kMbitBytes;
constexpr long long kSmdMaxData = 32LL * kMbitBytes;
constexpr std::uint8_t kRomHeaderSramSizeOffset = 0x18;
// Blocks beyond the first 512 (4 MB) lie above the SWC's upper DRAM line.
constexpr std::uint32_t kSwcBlocksPerDramHalf = 512;

// Both ROM uploads: the set-up writes, then every block after a cancel test
// and its progress text through the DRAM window (streamed: a bridge learns
// a block's outcome while it sends the next), with VerifyUploads the
// read-back of all of it, and the final progress text on every way out.
template <typename SetUp, typename SelectBlock, typename ReadBack>
bool SendRomBlocks(const std::uint8_t* data, std::uint32_t blocks, std::uint32_t blockSize, SetUp setUp,
                   SelectBlock select, ReadBack readBack) {
  const std::uint32_t kilobitsPerBlock = blockSize / kKilobitBytes;
  bool complete = false;
  try {
    setUp();
    std::uint32_t i = 0;
    for (; i < blocks; ++i) {
      if (CancelRequested) break;
      ShowTransferProgress("ROM", i * kilobitsPerBlock, blocks * kilobitsPerBlock);
      select(i);
      StreamMemoryBlock(CopierAddress::DramWindow, data + i * blockSize, static_cast<std::uint16_t>(blockSize));
    }
    // The last block's outcome, or the one before a cancel, is still to come.
    FinishBlocks();
    complete = i == blocks && (!VerifyUploads || readBack());
  } catch (const LinkTimeout&) {
    ReportLinkTimeout();
  }
  ShowTransferProgress("ROM", blocks * kilobitsPerBlock, blocks * kilobitsPerBlock);
  return complete;
}

}  // namespace

std::uint8_t SwcModeByteFor(std::uint8_t sramSizeCode, std::uint32_t blocks, bool hiRom) {
  std::uint8_t sramBits = 0x00;
  if (sramSizeCode == 0) {
    sramBits = 0x0C;
  } else if (sramSizeCode == 1) {
    sramBits = 0x08;
  } else if (sramSizeCode <= 3) {
    sramBits = 0x04;
  }
  if (hiRom) {
    if (sramBits == 0x0C && blocks < 512) return 0x1C;
    return static_cast<std::uint8_t>(sramBits | 0x30);
  }
  std::uint8_t mode = sramBits == 0x0C ? 0x2C : sramBits;
  if (blocks <= 128) mode = static_cast<std::uint8_t>(mode + 1);
  return mode;
}

void RecordUploadedImage(std::uint32_t dataSize) {
  const std::uint32_t blockSize = SelectedDevice == kDeviceSmd ? kSmdBlockSize : kSwcBlockSize;
  RomBlockCount = (dataSize + blockSize - 1) / blockSize;
  if (SelectedDevice == kDeviceSwc) {
    SwcModeByte = SwcModeByteFor(RomHeader[kRomHeaderSramSizeOffset], RomBlockCount, RomIsHiRom);
  }
}

bool RecordLoadedRomForExecute() {
  InputFile file(RomPath);
  if (!InputOpened(file, RomPath, TransferCaption::Execute)) return false;
  const long long skip = RomHasCopierHeader ? static_cast<long long>(kCopierHeaderSize) : 0;
  const long long fileSize = file.Size();
  if (fileSize <= skip) {
    ShowTransferError(FileChangedText(RomPath), TransferCaption::Execute);
    return false;
  }
  RecordUploadedImage(static_cast<std::uint32_t>(fileSize - skip));
  return true;
}

bool SendRomSwc(const std::uint8_t* data, std::uint32_t dataSize) {
  RecordUploadedImage(dataSize);
  std::uint8_t header[kCopierHeaderSize];
  FillCopierHeader(header, static_cast<std::uint16_t>(RomBlockCount), SwcModeByte, CopierFileType::SwcRom);
  auto setUp = [&header] {
    SelectBankPage(0, 0);
    WriteMemoryBlock(CopierAddress::SwcUploadHeader, header, kCopierHeaderSize);
  };
  auto select = [](std::uint32_t i) {
    WriteMemoryByte(CopierAddress::SwcDramHighPages, static_cast<std::uint8_t>(i / kSwcBlocksPerDramHalf));
    SelectBankPage(static_cast<std::uint8_t>(i / kSwcPagesPerBank), static_cast<std::uint8_t>(i % kSwcPagesPerBank));
  };
  auto readBack = [&header, data] { return ReadBackRomSwc(header, data, RomBlockCount); };
  return SendRomBlocks(data, RomBlockCount, kSwcBlockSize, setUp, select, readBack);
}

bool SendRomSmd(const std::uint8_t* data, std::uint32_t dataSize) {
  RecordUploadedImage(dataSize);
  std::uint8_t header[kCopierHeaderSize];
  // The SMD header carries the block count in one byte only.
  FillCopierHeader(header, static_cast<std::uint16_t>(RomBlockCount % 256), 0, CopierFileType::SmdRom);
  auto setUp = [&header] {
    WriteMemoryBlock(CopierAddress::SmdUploadHeader, header, kCopierHeaderSize);
    WriteMemoryByte(CopierAddress::SmdModeRegister, SmdMode::Transfer);
  };
  auto select = [](std::uint32_t i) { SelectPage(static_cast<std::uint8_t>(i)); };
  auto readBack = [&header, data] { return ReadBackRomSmd(header, data, RomBlockCount); };
  return SendRomBlocks(data, RomBlockCount, kSmdBlockSize, setUp, select, readBack);
}

bool UploadRom(bool applyPatch) {
  const std::string path = RomPath;
  InputFile file(path);
  if (!InputOpened(file, path, TransferCaption::UploadRom)) return false;

  const bool smd = SelectedDevice == kDeviceSmd;
  const long long skip = RomHasCopierHeader ? static_cast<long long>(kCopierHeaderSize) : 0;
  const long long fileSize = file.Size();
  if (fileSize < 0 || fileSize <= skip) {
    ShowTransferError(FileChangedText(path), TransferCaption::UploadRom);
    return false;
  }
  const long long dataSize = fileSize - skip;
  if (dataSize > (smd ? kSmdMaxData : kSwcMaxData)) {
    ShowTransferError(FileTooLargeText(path), TransferCaption::UploadRom);
    return false;
  }

  const std::uint32_t blockSize = smd ? kSmdBlockSize : kSwcBlockSize;
  const std::uint32_t size = static_cast<std::uint32_t>(dataSize);
  const std::uint32_t rounded = (size + blockSize - 1) / blockSize * blockSize;
  std::vector<std::uint8_t> image;
  try {
    image.assign(rounded, 0);  // the rest of the last block goes out as zeros
  } catch (const std::bad_alloc&) {
    ShowTransferError(OutOfMemoryText(path), TransferCaption::UploadRom);
    return false;
  }
  if (!file.ReadAt(skip, image.data(), size)) {
    ShowTransferError(FileChangedText(path), TransferCaption::UploadRom);
    return false;
  }
  file.Close();
  // A patch that vanished since it was loaded would send the image unpatched
  // as if all went well.
  if (applyPatch && !PatchPath.empty()) {
    InputFile patch(PatchPath);
    if (!InputOpened(patch, PatchPath, TransferCaption::UploadRom)) return false;
  }

  if (!smd) {
    if (applyPatch) ApplyIpsPatch(image.data(), size);
    return SendRomSwc(image.data(), size);
  }
  // The copier takes interleaved data; the patch counts in plain order.
  const std::size_t smdBlocks = rounded / kSmdBlockSize;
  if (applyPatch) PatchInPlainOrder(image.data(), size, RomHasCopierHeader, ApplyIpsPatch);
  if (!RomHasCopierHeader) PlainToSmd(image.data(), smdBlocks);
  return SendRomSmd(image.data(), size);
}

}  // namespace ql
