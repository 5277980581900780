// Shared value types of the whole program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ql {

// Result of LoadImageFile; batches gather them as a bit set (KindBit).
enum class FileKind : std::uint8_t { None = 0, Rom = 1, Sram = 2, RealTime = 3, Patch = 4 };

constexpr unsigned KindBit(FileKind kind) { return 1u << static_cast<unsigned>(kind); }

// Bits of the upload job parameter.
namespace UploadSteps {
constexpr std::uint8_t Rom = 0x02;
constexpr std::uint8_t Sram = 0x04;
constexpr std::uint8_t RealTime = 0x08;
constexpr std::uint8_t ApplyPatch = 0x10;
constexpr std::uint8_t Execute = 0x20;
constexpr std::uint8_t All = 0xFF;
}  // namespace UploadSteps

// Parameter of a download job.
enum class DownloadKind : std::uint8_t { CartridgeRom = 1, Sram = 2, RealTime = 3 };

// Byte 10 of a copier header.
namespace CopierFileType {
constexpr std::uint8_t SwcRom = 4;
constexpr std::uint8_t SwcSram = 5;
constexpr std::uint8_t SmdRom = 6;
constexpr std::uint8_t SmdSram = 7;
constexpr std::uint8_t SwcRealTime = 8;
}  // namespace CopierFileType

constexpr std::uint8_t kDeviceSwc = 0;
constexpr std::uint8_t kDeviceSmd = 1;

constexpr std::size_t kCopierHeaderSize = 512;
// A slot holds at most 255 characters (a 256-byte buffer with its NUL).
constexpr std::size_t kMaxPathLength = 255;

// The one guard on paths that enter a slot: a longer path would have to be
// cut into the name of some other file, so it is refused, never cut.
constexpr bool PathFitsSlot(std::string_view path) { return !path.empty() && path.size() <= kMaxPathLength; }

// The seven display texts of a ROM header, in the order of the window's fields.
struct HeaderTexts {
  std::string Name;
  std::string Makeup;
  std::string RomSize;
  std::string SramSize;
  std::string Region;
  std::string Maker;
  std::string Version;
};

}  // namespace ql
