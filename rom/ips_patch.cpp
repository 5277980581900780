#include "rom/ips_patch.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/state.h"
#include "rom/image_reader.h"
#include "rom/smd_interleave.h"

namespace ql {
namespace {

constexpr std::size_t kMagicSize = 5;         // "PATCH"
constexpr std::size_t kEndMarkerSize = 3;     // "EOF"; the upload takes it as read and never compares it
constexpr std::size_t kTruncationSizeSize = 3;  // the common extension: the patched file's size after "EOF"
constexpr std::size_t kRecordHeaderSize = 5;  // 24-bit offset, 16-bit size
constexpr std::size_t kRunBodySize = 3;       // 16-bit length, fill byte
// Patch offsets count in a file with a 512-byte copier header.
constexpr std::uint32_t kOffsetBase = 512;

std::uint32_t ReadBe24(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[2]};
}

std::uint32_t ReadBe16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | std::uint32_t{p[1]}; }

std::unique_ptr<std::uint8_t[]> AllocateWithoutThrowing(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace

IpsResult ApplyIpsRecords(const std::uint8_t* records, std::size_t recordsSize, std::uint8_t* buffer,
                          std::uint32_t dataSize) {
  std::size_t p = 0;
  // A record header that ends exactly at the end of the data is still read.
  while (recordsSize - p >= kRecordHeaderSize) {
    const std::uint32_t target = ReadBe24(records + p) - kOffsetBase;  // wraps below 512: skipped
    const std::uint32_t size = ReadBe16(records + p + 3);
    const std::size_t body = p + kRecordHeaderSize;
    if (size != 0) {
      if (target < dataSize) {
        const std::size_t inRom = dataSize - target;
        const std::size_t inPatch = recordsSize - body;
        const std::size_t count = std::min<std::size_t>({size, inRom, inPatch});
        std::memcpy(buffer + target, records + body, count);
      }
      // Moves on by the declared size, whatever was cut; past the end ends the walk.
      if (size > recordsSize - body) return IpsResult::RecordPastEnd;
      p = body + size;
    } else {
      // A run cut off by the end of the patch ends the walk, wherever it points.
      if (recordsSize - body < kRunBodySize) return IpsResult::RunPastEnd;
      if (target < dataSize) {
        const std::uint32_t length = ReadBe16(records + body);
        const std::uint8_t fill = records[body + 2];
        std::memset(buffer + target, fill, std::min<std::size_t>(length, dataSize - target));
      }
      p = body + kRunBodySize;
    }
  }
  return p == recordsSize ? IpsResult::Applied : IpsResult::StrayBytes;
}

IpsResult ReadIpsPatch(std::span<const std::uint8_t> file, IpsPatch& patch) {
  if (file.size() < kMagicSize || std::memcmp(file.data(), "PATCH", kMagicSize) != 0) return IpsResult::NoPatchMagic;
  std::optional<IpsResult> firstRefusal;
  // "EOF" last, then "EOF" and the extension's size: the plain form wins when both read.
  for (const std::size_t trailer : {std::size_t{0}, kTruncationSizeSize}) {
    if (file.size() < kMagicSize + kEndMarkerSize + trailer) break;
    const std::size_t end = file.size() - trailer - kEndMarkerSize;
    if (std::memcmp(file.data() + end, "EOF", kEndMarkerSize) != 0) continue;
    const std::span<const std::uint8_t> records = file.subspan(kMagicSize, end - kMagicSize);
    // With no ROM data nothing is written: this only walks.
    const IpsResult walked = ApplyIpsRecords(records.data(), records.size(), nullptr, 0);
    if (walked == IpsResult::Applied) {
      patch.records = records;
      patch.truncateTo.reset();
      if (trailer != 0) patch.truncateTo = ReadBe24(file.data() + end + kEndMarkerSize);
      return walked;
    }
    if (!firstRefusal) firstRefusal = walked;
  }
  return firstRefusal.value_or(IpsResult::NoEndMarker);
}

void PatchInPlainOrder(std::uint8_t* image, std::uint32_t dataSize, bool interleaved,
                       const std::function<void(std::uint8_t* data, std::uint32_t dataSize)>& patch) {
  const std::size_t blocks = (std::size_t{dataSize} + kSmdBlockSize - 1) / kSmdBlockSize;
  if (interleaved && blocks > 0) SmdToPlain(image, blocks);
  patch(image, dataSize);
  if (interleaved) PlainToSmd(image, blocks);
}

void ApplyIpsPatchFile(const std::string& patchPath, std::uint8_t* buffer, std::uint32_t dataSize,
                       const PatchBufferAllocator& allocate) {
  FileImageReader patch(patchPath);
  if (!patch.IsOpen()) return;
  // The file may have shrunk since it was loaded: below magic plus end
  // marker there is no record to walk.
  const std::uint32_t size = patch.Size();
  if (size < kMagicSize + kEndMarkerSize) return;
  const std::size_t recordsSize = size - kMagicSize - kEndMarkerSize;
  if (recordsSize == 0) return;
  const std::unique_ptr<std::uint8_t[]> records = allocate(recordsSize);
  if (!records) return;  // no memory: the image goes out unpatched
  // A file cut short since its size was taken yields only what is there.
  const std::size_t read = patch.ReadAt(kMagicSize, records.get(), recordsSize);
  ApplyIpsRecords(records.get(), read, buffer, dataSize);
}

void ApplyIpsPatch(std::uint8_t* buffer, std::uint32_t dataSize) {
  ApplyIpsPatchFile(PatchPath, buffer, dataSize, AllocateWithoutThrowing);
}

}  // namespace ql
