// The Super NES internal header: finding it in an image and turning it into
// the texts the window and the cartridge report show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/types.h"
#include "rom/image_reader.h"

namespace ql {

constexpr std::size_t kSnesHeaderSize = 64;
using SnesHeaderBlock = std::array<std::uint8_t, kSnesHeaderSize>;

// Field offsets inside the 64-byte block.
namespace SnesField {
constexpr std::size_t Title = 0x00;
constexpr std::size_t TitleLength = 21;
constexpr std::size_t Makeup = 0x15;
constexpr std::size_t RomSizeCode = 0x17;
constexpr std::size_t SramSizeCode = 0x18;
constexpr std::size_t RegionCode = 0x19;
constexpr std::size_t MakerCode = 0x1A;
constexpr std::size_t Version = 0x1B;
constexpr std::size_t ChecksumComplement = 0x1C;
constexpr std::size_t Checksum = 0x1E;
}  // namespace SnesField

struct SnesHeaderMatch {
  bool hasCopierHeader = false;
  bool hiRom = false;
  SnesHeaderBlock block{};
};

// Tries 0x7FC0, 0x81C0, 0xFFC0, 0x101C0 in that order; the first valid
// block wins. A short read ends the search.
std::optional<SnesHeaderMatch> FindSnesHeader(ImageReader& image);
// The validity rule: checksum pair, ROM size code 8..13, SRAM size code <= 5.
bool IsValidSnesHeader(const SnesHeaderBlock& block);

HeaderTexts DescribeSnesHeader(const SnesHeaderBlock& block, bool hiRom, std::uint32_t dataSize);

// Pieces shared with the cartridge report.
std::string SnesTitleText(const std::uint8_t* block);
const char* SnesSpeedWord(std::uint8_t makeup);
const char* SnesMapWord(bool hiRom);

const std::array<const char*, 16>& SnesRegionNames();
const std::array<const char*, 256>& SnesMakerNames();

}  // namespace ql
