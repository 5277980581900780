#include "rom/dump_analysis.h"

#include "rom/copier_header.h"
#include "rom/genesis_header.h"
#include "rom/image_classifier.h"
#include "rom/path_helpers.h"
#include "rom/smd_interleave.h"
#include "rom/snes_header.h"

namespace ql {
namespace {

// The checksum word of a Genesis image, at ROM offset 0x18E.
constexpr std::size_t kGenesisChecksumField = 0x18E - 0x100;

std::optional<std::uint8_t> DeviceOfCopierHeader(std::span<const std::uint8_t> file) {
  const auto type = CopierHeaderType(file.data(), file.size());
  if (type == CopierFileType::SwcRom) return kDeviceSwc;
  if (type == CopierFileType::SmdRom) return kDeviceSmd;
  return std::nullopt;
}

std::optional<std::uint8_t> DeviceOfExtension(std::string_view path) {
  for (const char* ext : {"swc", "smc", "sfc", "fig"}) {
    if (HasExtension(path, ext)) return kDeviceSwc;
  }
  for (const char* ext : {"smd", "bin"}) {
    if (HasExtension(path, ext)) return kDeviceSmd;
  }
  return std::nullopt;
}

// SMD data that ends inside a 16 KB block is converted as the upload would
// send it, the missing bytes as zeros, and cut back to its own length.
std::vector<std::uint8_t> PlainFromSmd(std::span<const std::uint8_t> smd) {
  const std::size_t blocks = (smd.size() + kSmdBlockSize - 1) / kSmdBlockSize;
  std::vector<std::uint8_t> plain(smd.begin(), smd.end());
  plain.resize(blocks * kSmdBlockSize, 0);
  if (blocks > 0) SmdToPlain(plain.data(), blocks);
  plain.resize(smd.size());
  return plain;
}

void UndoLayout(std::span<const std::uint8_t> file, const ImageClassification& rom, DumpAnalysis& out) {
  out.hasCopierHeader = rom.hasCopierHeader;
  const auto data = file.subspan(rom.hasCopierHeader ? kCopierHeaderSize : 0);
  ChecksumComparison comparison;
  if (out.device == kDeviceSwc) {
    out.hiRom = rom.hiRom;
    out.plainData.assign(data.begin(), data.end());
    comparison.computed = SnesImageChecksum(out.plainData);
    comparison.header =
        static_cast<std::uint16_t>(rom.header[SnesField::Checksum] | rom.header[SnesField::Checksum + 1] << 8);
  } else {
    out.plainData = rom.hasCopierHeader ? PlainFromSmd(data) : std::vector<std::uint8_t>(data.begin(), data.end());
    comparison.computed = GenesisImageChecksum(out.plainData);
    comparison.header =
        static_cast<std::uint16_t>(rom.header[kGenesisChecksumField] << 8 | rom.header[kGenesisChecksumField + 1]);
  }
  out.checksum = comparison;
}

}  // namespace

DumpAnalysis AnalyseDump(std::span<const std::uint8_t> file, std::string_view path, std::uint8_t fallbackDevice) {
  MemoryImageReader reader(file);
  const ImageClassification asSnes = ClassifyImage(reader, path, kDeviceSwc);
  const ImageClassification asGenesis = ClassifyImage(reader, path, kDeviceSmd);
  const bool snes = asSnes.kind == FileKind::Rom;
  const bool genesis = asGenesis.kind == FileKind::Rom;

  DumpAnalysis out;
  if (!snes && !genesis) {
    // Patches, saves and unknown files are the same to both consoles.
    out.kind = asSnes.kind;
    out.plainData.assign(file.begin(), file.end());
    return out;
  }
  out.kind = FileKind::Rom;
  if (snes != genesis) {
    out.device = snes ? kDeviceSwc : kDeviceSmd;
    out.evidence = DumpDeviceEvidence::Header;
  } else if (const auto byCopierHeader = DeviceOfCopierHeader(file)) {
    out.device = *byCopierHeader;
    out.evidence = DumpDeviceEvidence::CopierHeader;
  } else if (const auto byExtension = DeviceOfExtension(path)) {
    out.device = *byExtension;
    out.evidence = DumpDeviceEvidence::Extension;
  } else {
    out.device = fallbackDevice == kDeviceSmd ? kDeviceSmd : kDeviceSwc;
    out.evidence = DumpDeviceEvidence::Fallback;
  }
  UndoLayout(file, out.device == kDeviceSwc ? asSnes : asGenesis, out);
  return out;
}

}  // namespace ql
