#include "cli/check_command.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/exit_codes.h"
#include "cli/file_io.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "core/state.h"
#include "rom/crc32.h"
#include "rom/dump_analysis.h"
#include "rom/image_classifier.h"

namespace ql::cli {
namespace {

// No ROM image either copier takes is longer; a longer file is only read
// through for its CRC, never held whole.
constexpr std::size_t kLargestRomFile = kMaxSwcImageSize;
static_assert(kMaxSwcImageSize >= kMaxSmdImageSize);

struct CheckedFile {
  bool tooLarge = false;
  std::uint32_t crc = 0;  // image data of a recognised ROM, else the whole file
  DumpAnalysis analysis;
};

std::optional<CheckedFile> Examine(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = fmt::format("{}: cannot be read: {}", path, std::strerror(errno));
    return std::nullopt;
  }
  // A regular file ends; a device or pipe need not, so it is read no further than an image can be.
  const bool regular = IsRegularFile(file);
  CheckedFile checked;
  std::vector<std::uint8_t> bytes;
  std::uint32_t wholeCrc = 0;
  std::uint8_t chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    wholeCrc = Crc32(wholeCrc, {chunk, n});
    if (bytes.size() <= kLargestRomFile) bytes.insert(bytes.end(), chunk, chunk + n);
    if (!regular && bytes.size() > kLargestRomFile) break;
  }
  const int readError = std::ferror(file) ? errno : 0;
  std::fclose(file);
  if (readError != 0) {
    error = fmt::format("{}: cannot be read: {}", path, std::strerror(readError));
    return std::nullopt;
  }
  if (!regular && bytes.size() > kLargestRomFile) {
    error = fmt::format("{}: more than {} bytes and not a regular file: not a ROM image, not read to its end", path,
                        kLargestRomFile);
    return std::nullopt;
  }
  checked.tooLarge = bytes.size() > kLargestRomFile;
  if (checked.tooLarge) {
    checked.crc = wholeCrc;
  } else {
    checked.analysis = AnalyseDump(bytes, path, SelectedDevice);
    const auto& data = checked.analysis.plainData;
    checked.crc = Crc32(0, data);
  }
  return checked;
}

std::optional<CheckedFile> ExamineOrSay(const std::string& path, CliFrontEnd& ui) {
  std::string error;
  auto checked = Examine(path, error);
  if (!checked) ui.Error(error);
  return checked;
}

bool Healthy(const CheckedFile& checked) { return checked.analysis.checksum && checked.analysis.checksum->Agrees(); }

const char* EvidenceText(DumpDeviceEvidence evidence) {
  switch (evidence) {
    case DumpDeviceEvidence::Header:
      return "told by its internal header";
    case DumpDeviceEvidence::CopierHeader:
      return "both consoles' headers found; the copier header's file type decides";
    case DumpDeviceEvidence::Extension:
      return "both consoles' headers found; the file name's extension decides";
    default:
      return "both consoles' headers found; --device decides";
  }
}

std::string ImageText(const CheckedFile& checked) {
  const DumpAnalysis& a = checked.analysis;
  if (checked.tooLarge) return "larger than any Super NES or Genesis ROM image, not examined";
  switch (a.kind) {
    case FileKind::Rom:
      break;
    case FileKind::Sram:
      return "an SRAM file, not a ROM image";
    case FileKind::RealTime:
      return "a real-time save, not a ROM image";
    case FileKind::Patch:
      return "an IPS patch, not a ROM image";
    default:
      return "not a Super NES or Genesis ROM image (no internal header found)";
  }
  std::string layout;
  if (a.device == kDeviceSwc) {
    layout = fmt::format("Super NES, {}, {}", a.hiRom ? "HiROM" : "LoROM",
                         a.hasCopierHeader ? "with a 512-byte copier header" : "no copier header");
  } else {
    layout = a.hasCopierHeader ? "Genesis, SMD-interleaved with a 512-byte copier header" : "Genesis, plain order";
  }
  return fmt::format("{} ({})", layout, EvidenceText(a.evidence));
}

std::string TextReport(const std::string& path, const CheckedFile& checked) {
  std::string text = TerminalText(path) + "\n  Image:    " + ImageText(checked) + "\n";
  const auto& checksum = checked.analysis.checksum;
  text += fmt::format("  CRC32:    {:08X} ({})\n", checked.crc,
                      checksum ? "image data in plain order, without a copier header" : "the whole file");
  if (checksum) {
    text += fmt::format(
        "  Checksum: 0x{:04X} computed, 0x{:04X} in the header: {}\n", checksum->computed, checksum->header,
        checksum->Agrees() ? "they agree" : "they DIFFER (damaged data, or an image that was patched or changed)");
  }
  return text;
}

std::string JsonReport(const std::string& path, const CheckedFile& checked) {
  const auto& checksum = checked.analysis.checksum;
  const std::string checksumJson = checksum ? fmt::format(R"({{"computed": {}, "header": {}, "ok": {}}})",
                                                          checksum->computed, checksum->header, checksum->Agrees())
                                            : "null";
  return fmt::format(R"({{"file": {}, "crc32": "{:08X}", "checksum": {}}})", JsonString(path), checked.crc,
                     checksumJson);
}

}  // namespace

bool PrintDumpReport(const std::string& path, DumpReportFormat format, CliFrontEnd& ui) {
  const auto checked = ExamineOrSay(path, ui);
  if (!checked) return false;
  ui.Print(format == DumpReportFormat::Json ? JsonReport(path, *checked) : TextReport(path, *checked));
  return Healthy(*checked);
}

bool ReportDownloadedDump(const std::string& path, CliFrontEnd& ui) {
  const auto checked = ExamineOrSay(path, ui);
  if (!checked) return false;
  ui.Print(TextReport(path, *checked));
  if (Healthy(*checked)) return true;
  ui.Print(checked->analysis.checksum
               ? "The checksum does not agree with the header: clean the contacts, reseat the cartridge, dump again."
               : "No internal header was found, which a dirty or loose contact can cause: clean the contacts, "
                 "reseat the cartridge, dump again.");
  return false;
}

int RunCheck(const Invocation& inv, CliFrontEnd& ui) {
  const auto format = inv.json ? DumpReportFormat::Json : DumpReportFormat::Text;
  bool allHealthy = true;
  for (const std::string& path : inv.files) allHealthy = PrintDumpReport(path, format, ui) && allHealthy;
  return allHealthy ? kExitOk : kExitFailed;
}

}  // namespace ql::cli
