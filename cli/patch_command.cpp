// `patch ROM PATCH OUT`: the ROM file with an IPS patch applied to its data,
// the way the ROM upload applies it: patch offsets count as if the file had
// a copier header, an SMD file is patched in plain order, a copier header is
// kept as it is, and OUT is as long as the ROM file unless the patch carries
// a shorter size after its end marker.
#include <fmt/format.h>

#include <algorithm>

#include "cli/exit_codes.h"
#include "cli/file_io.h"
#include "cli/file_loading.h"
#include "cli/offline_commands.h"
#include "core/state.h"
#include "rom/ips_patch.h"
#include "rom/smd_interleave.h"

namespace ql::cli {
namespace {

std::string RefusalText(const std::string& path, IpsResult result) {
  switch (result) {
    case IpsResult::NoPatchMagic:
      return fmt::format("{}: not an IPS patch (it does not begin with \"PATCH\")", path);
    case IpsResult::NoEndMarker:
      // Without its end marker the last three bytes would be taken for it and lost.
      return fmt::format("{}: not a complete IPS patch (it does not end with \"EOF\", or \"EOF\" and a size)", path);
    case IpsResult::RecordPastEnd:
      return fmt::format("{}: damaged IPS patch (the data of a record runs past \"EOF\")", path);
    case IpsResult::RunPastEnd:
      return fmt::format("{}: damaged IPS patch (a run record runs past \"EOF\")", path);
    case IpsResult::StrayBytes:
      return fmt::format("{}: damaged IPS patch (bytes before \"EOF\" that make no record)", path);
    case IpsResult::Applied:
      break;
  }
  return path;
}

// The data size the patch leaves: its truncation size counts like its
// offsets, in a file with a 512-byte copier header. It never grows the data.
std::uint32_t PatchedDataSize(const IpsPatch& patch, std::uint32_t dataSize) {
  if (!patch.truncateTo) return dataSize;
  constexpr auto kHeader = static_cast<std::uint32_t>(kCopierHeaderSize);
  const std::uint32_t size = *patch.truncateTo;
  return std::min(dataSize, size > kHeader ? size - kHeader : 0u);
}

}  // namespace

int RunPatch(const Invocation& inv, CliFrontEnd& ui) {
  const std::string& romPath = inv.files[0];
  const std::string& patchPath = inv.files[1];
  const std::string& outPath = inv.files[2];
  if (SameFile(outPath, romPath) || SameFile(outPath, patchPath)) {
    ui.Error(fmt::format("{}: OUT would overwrite an input file; name another output file", outPath));
    return kExitFailed;
  }

  std::string error;
  std::vector<std::uint8_t> patchFile;
  if (!ReadWholeFile(patchPath, patchFile, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  IpsPatch patch;
  if (IpsResult result = ReadIpsPatch(patchFile, patch); result != IpsResult::Applied) {
    ui.Error(RefusalText(patchPath, result));
    return kExitFailed;
  }

  FileKind kind = LoadOneFile(romPath, ui);
  if (kind == FileKind::None) return kExitFailed;
  if (kind != FileKind::Rom) {
    ui.Error(fmt::format("{}: not a {} ROM image", romPath, DeviceImageName()));
    return kExitFailed;
  }
  std::vector<std::uint8_t> rom;
  if (!ReadWholeFile(romPath, rom, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  const std::size_t skip = RomHasCopierHeader ? kCopierHeaderSize : 0;
  if (rom.size() < skip) {
    ui.Error(fmt::format("{}: changed while it was read", romPath));
    return kExitFailed;
  }
  const auto dataSize = static_cast<std::uint32_t>(rom.size() - skip);
  const bool interleaved = SelectedDevice == kDeviceSmd && RomHasCopierHeader;
  const std::uint32_t outSize = PatchedDataSize(patch, dataSize);
  if (interleaved && outSize < dataSize) {
    ui.Error(fmt::format("{}: the patch shortens the image, which an SMD file of whole 16 KB blocks cannot be; "
                         "convert it to plain order first (convert --to plain)",
                         patchPath));
    return kExitFailed;
  }

  // Whole 16 KB blocks, as the interleave works on them; only dataSize bytes go back out.
  std::vector<std::uint8_t> data(rom.begin() + static_cast<std::ptrdiff_t>(skip), rom.end());
  if (interleaved) data.resize((dataSize + kSmdBlockSize - 1) / kSmdBlockSize * kSmdBlockSize, 0);
  PatchInPlainOrder(data.data(), dataSize, interleaved, [&patch](std::uint8_t* plain, std::uint32_t size) {
    ApplyIpsRecords(patch.records.data(), patch.records.size(), plain, size);
  });

  // The copier header stays as it was; the data goes back without the padding.
  data.resize(outSize);
  rom.resize(skip);
  rom.insert(rom.end(), data.begin(), data.end());
  if (!WriteFileAtomically(outPath, rom, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace ql::cli
