// What a ROM file holds once its layout is undone: which console it is for,
// its image data in plain order without a copier header (what ROM databases
// list CRCs of), and its internal checksum against the header's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "rom/dump_checksum.h"

namespace ql {

// What settled the console of a file.
enum class DumpDeviceEvidence {
  Header,        // only one console's header search found a header
  CopierHeader,  // both did; the copier header's file type names one
  Extension,     // both did; the extension names one
  Fallback,      // both did and nothing else tells: the caller's device
  None,          // neither did: not a ROM image
};

struct DumpAnalysis {
  // The file's kind as the program classifies it (Rom, or what else it is).
  FileKind kind = FileKind::None;
  std::uint8_t device = kDeviceSwc;
  DumpDeviceEvidence evidence = DumpDeviceEvidence::None;
  bool hasCopierHeader = false;  // Genesis: also SMD-interleaved
  bool hiRom = false;
  // Recognised ROM: the image data in plain order without a copier header.
  // Anything else: the file as it is.
  std::vector<std::uint8_t> plainData;
  std::optional<ChecksumComparison> checksum;  // only for a recognised ROM image
};

// Classifies the file as a ROM image of both consoles and undoes the layout
// of the one chosen. `fallbackDevice` decides only when both searches find
// a header and neither the copier header nor the extension names a console.
DumpAnalysis AnalyseDump(std::span<const std::uint8_t> file, std::string_view path, std::uint8_t fallbackDevice);

}  // namespace ql
