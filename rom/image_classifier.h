// Deciding what a file is from its bytes and name: patch, copier header
// type, SRAM size rule, then a ROM image of the selected device. Pure apart
// from reading through the ImageReader; LoadImageFile applies the result.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/types.h"
#include "rom/image_reader.h"

namespace ql {

// Largest files examined as ROM images: 48 Mbit (SWC) or 32 Mbit (SMD) plus
// a 512-byte copier header.
constexpr std::uint32_t kMaxSwcImageSize = 6291968;
constexpr std::uint32_t kMaxSmdImageSize = 4194816;
// Bytes read to classify a file; only a patch may have fewer.
constexpr std::size_t kProbeSize = 16;
// "PATCH", one record header with one data byte, the end marker.
constexpr std::uint32_t kMinPatchSize = 14;

struct ImageClassification {
  FileKind kind = FileKind::None;
  bool hasCopierHeader = false;  // ROM: copier header (SMD: interleaved); SRAM: copier header
  bool hiRom = false;            // SWC ROM only
  // ROM: SWC the 64-byte header block then zeros; SMD ROM bytes 0x100 to 0x1FF.
  std::array<std::uint8_t, 256> header{};
  std::uint32_t dataSize = 0;  // ROM and SRAM: file size less the copier header
};

ImageClassification ClassifyImage(ImageReader& image, std::string_view path, std::uint8_t device);

// 2, 4, 8, 16 or 32 KB, or 0: a single bit within bits 11 to 15, or none.
bool IsAcceptedSramSize(std::uint32_t dataSize);

}  // namespace ql
