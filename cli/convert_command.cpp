// `convert --to smd|plain IN OUT`: a plain Genesis image to a downloaded-style
// .smd file (copier header with the 16 KB block count, data interleaved and
// zero-padded to whole blocks), or an SMD file back to plain order.
#include <fmt/format.h>

#include <algorithm>

#include "app/window_state.h"
#include "cli/exit_codes.h"
#include "cli/file_io.h"
#include "cli/file_loading.h"
#include "cli/offline_commands.h"
#include "core/state.h"
#include "rom/copier_header.h"
#include "rom/smd_interleave.h"

namespace ql::cli {

int RunConvert(const Invocation& inv, CliFrontEnd& ui) {
  const std::string& inPath = inv.files[0];
  const std::string& outPath = inv.files[1];
  const bool toSmd = inv.what == "smd";
  if (SameFile(outPath, inPath)) {
    ui.Error(fmt::format("{}: OUT would overwrite IN; name another output file", outPath));
    return kExitFailed;
  }
  // The interleave belongs to Genesis images, whatever --device says.
  SelectDevice(kDeviceSmd);
  FileKind kind = LoadOneFile(inPath, ui);
  if (kind == FileKind::None) return kExitFailed;
  if (kind != FileKind::Rom) {
    ui.Error(fmt::format("{}: not a Genesis ROM image", inPath));
    return kExitFailed;
  }
  if (toSmd && RomHasCopierHeader) {
    ui.Error(fmt::format("{}: already an SMD file (copier header, interleaved data)", inPath));
    return kExitFailed;
  }
  if (!toSmd && !RomHasCopierHeader) {
    ui.Error(fmt::format("{}: already in plain order (no copier header)", inPath));
    return kExitFailed;
  }

  std::string error;
  std::vector<std::uint8_t> file;
  if (!ReadWholeFile(inPath, file, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  const std::size_t skip = toSmd ? 0 : kCopierHeaderSize;
  if (file.size() <= skip) {
    ui.Error(fmt::format("{}: changed while it was read", inPath));
    return kExitFailed;
  }
  const std::size_t dataSize = file.size() - skip;
  const std::size_t blocks = (dataSize + kSmdBlockSize - 1) / kSmdBlockSize;
  std::vector<std::uint8_t> data(blocks * kSmdBlockSize, 0);
  std::copy(file.begin() + static_cast<std::ptrdiff_t>(skip), file.end(), data.begin());

  std::vector<std::uint8_t> out;
  if (toSmd) {
    PlainToSmd(data.data(), blocks);
    out.resize(kCopierHeaderSize);
    FillCopierHeader(out.data(), static_cast<std::uint16_t>(blocks), 0, CopierFileType::SmdRom);
    out.insert(out.end(), data.begin(), data.end());
  } else {
    SmdToPlain(data.data(), blocks);
    out.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(dataSize));
  }
  if (!WriteFileAtomically(outPath, out, error)) {
    ui.Error(error);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace ql::cli
