// `patch ROM PATCH OUT`: the ROM file with an IPS patch applied to its data,
// the way the ROM upload applies it: patch offsets count as if the file had
// a copier header, an SMD file is patched in plain order, a copier header is
// kept as it is, and OUT is exactly as long as the ROM file.
#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "cli/exit_codes.h"
#include "cli/file_io.h"
#include "cli/file_loading.h"
#include "cli/offline_commands.h"
#include "core/state.h"
#include "rom/ips_patch.h"
#include "rom/smd_interleave.h"

namespace ql::cli {
namespace {

constexpr std::size_t kIpsMagicSize = 5;  // "PATCH"
constexpr std::size_t kIpsEndSize = 3;    // "EOF"

bool CheckPatch(const std::string& path, const std::vector<std::uint8_t>& patch, std::string& error) {
  if (patch.size() < kIpsMagicSize + kIpsEndSize || std::memcmp(patch.data(), "PATCH", kIpsMagicSize) != 0) {
    error = fmt::format("{}: not an IPS patch (it does not begin with \"PATCH\")", path);
    return false;
  }
  if (std::memcmp(patch.data() + patch.size() - kIpsEndSize, "EOF", kIpsEndSize) != 0) {
    // Without its end marker the last three bytes would be taken for it and lost.
    error = fmt::format("{}: not a complete IPS patch (it does not end with \"EOF\")", path);
    return false;
  }
  return true;
}

}  // namespace

int RunPatch(const Invocation& inv, CliFrontEnd& ui) {
  const std::string& romPath = inv.files[0];
  const std::string& patchPath = inv.files[1];
  const std::string& outPath = inv.files[2];
  if (outPath == romPath || outPath == patchPath || SameFile(outPath, romPath) || SameFile(outPath, patchPath)) {
    ui.Error(fmt::format("{}: OUT would overwrite an input file; name another output file", outPath));
    return kExitFailed;
  }

  std::string error;
  std::vector<std::uint8_t> patch;
  if (!ReadWholeFile(patchPath, patch, error) || !CheckPatch(patchPath, patch, error)) {
    ui.Error(error);
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
  const std::size_t blocks = (dataSize + kSmdBlockSize - 1) / kSmdBlockSize;

  // Whole 16 KB blocks, as the interleave works on them; only dataSize bytes go back out.
  std::vector<std::uint8_t> data(rom.begin() + static_cast<std::ptrdiff_t>(skip), rom.end());
  if (interleaved) data.resize(blocks * kSmdBlockSize, 0);
  if (interleaved && blocks > 0) SmdToPlain(data.data(), blocks);
  ApplyIpsRecords(patch.data() + kIpsMagicSize, patch.size() - kIpsMagicSize - kIpsEndSize, data.data(), dataSize);
  if (interleaved) PlainToSmd(data.data(), blocks);

  // The copier header stays as it was; the data goes back without the padding.
  data.resize(dataSize);
  rom.resize(skip);
  rom.insert(rom.end(), data.begin(), data.end());
  const std::vector<std::uint8_t>& out = rom;
  if (!WriteFileAtomically(outPath, out, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace ql::cli
