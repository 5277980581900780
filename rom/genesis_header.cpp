#include "rom/genesis_header.h"

#include <cstring>

#include "rom/rom_size_text.h"

namespace ql {
namespace {

constexpr std::uint64_t kPlainHeaderOffset = 0x100;
// In the SMD layout the first 16 KB block follows the 512-byte copier header;
// its first half holds the odd ROM bytes, its second half the even ones.
constexpr std::uint64_t kSmdOddHalfOffset = 0x280;
constexpr std::uint64_t kSmdEvenHalfOffset = 0x2280;
constexpr std::size_t kHalfHeaderSize = kGenesisHeaderSize / 2;

bool HasSignature(const GenesisHeaderBlock& header) {
  return std::memcmp(header.data() + GenesisField::Signature, "SEGA", 4) == 0;
}

std::uint32_t ReadBe32(const GenesisHeaderBlock& header, std::size_t at) {
  return (std::uint32_t{header[at]} << 24) | (std::uint32_t{header[at + 1]} << 16) |
         (std::uint32_t{header[at + 2]} << 8) | std::uint32_t{header[at + 3]};
}

std::string TitleText(const GenesisHeaderBlock& header) {
  std::string title;
  for (std::size_t i = 0; i < GenesisField::DomesticTitleLength; ++i) {
    const std::uint8_t c = header[GenesisField::DomesticTitle + i];
    if (c == 0) break;
    title += static_cast<char>(c);
  }
  return title;
}

std::string RegionText(const GenesisHeaderBlock& header) {
  std::string text;
  for (std::size_t i = 0; i < GenesisField::RegionLength; ++i) {
    const char c = static_cast<char>(header[GenesisField::Region + i]);
    if (c == ' ') continue;
    for (const GenesisRegion& row : GenesisRegionTable()) {
      if (row.code == c) {
        text += row.name;
        text += ", ";
        break;
      }
    }
  }
  if (!text.empty()) text.resize(text.size() - 2);
  return text;
}

std::string MakerText(const GenesisHeaderBlock& header) {
  const std::uint8_t* field = header.data() + GenesisField::PublisherKey;
  char key[4];
  if (field[0] == 'T' && field[1] == '-') {
    // "T-" codes are keyed by their number and one space.
    key[0] = static_cast<char>(field[2]);
    key[1] = static_cast<char>(field[3]);
    key[2] = static_cast<char>(field[4]);
    key[3] = ' ';
  } else {
    std::memcpy(key, field, 4);
  }
  for (const GenesisPublisher& row : GenesisPublisherTable()) {
    if (std::memcmp(row.key, key, 4) == 0) return row.name;
  }
  return "unknown";
}

}  // namespace

std::optional<GenesisHeaderMatch> FindGenesisHeader(ImageReader& image) {
  GenesisHeaderMatch match;
  if (image.ReadAt(kPlainHeaderOffset, match.header.data(), match.header.size()) != match.header.size()) {
    return std::nullopt;
  }
  if (HasSignature(match.header)) return match;

  std::uint8_t odd[kHalfHeaderSize];
  std::uint8_t even[kHalfHeaderSize];
  if (image.ReadAt(kSmdOddHalfOffset, odd, kHalfHeaderSize) != kHalfHeaderSize ||
      image.ReadAt(kSmdEvenHalfOffset, even, kHalfHeaderSize) != kHalfHeaderSize) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kHalfHeaderSize; ++i) {
    match.header[2 * i] = even[i];
    match.header[2 * i + 1] = odd[i];
  }
  if (!HasSignature(match.header)) return std::nullopt;
  match.smdLayout = true;
  return match;
}

HeaderTexts DescribeGenesisHeader(const GenesisHeaderBlock& header, std::uint32_t dataSize) {
  HeaderTexts texts;
  texts.Name = TitleText(header);
  // Unsigned 32-bit on purpose: an end below the start wraps as the header says.
  const std::uint32_t declaredMbit =
      (ReadBe32(header, GenesisField::RomEnd) - ReadBe32(header, GenesisField::RomStart) + 0x1FFFFu) >> 17;
  const std::uint32_t fileMbit = static_cast<std::uint32_t>((std::uint64_t{dataSize} + 0x1FFFFu) >> 17);
  texts.RomSize = RomSizeText(declaredMbit, fileMbit);
  texts.Region = RegionText(header);
  texts.Maker = MakerText(header);
  return texts;
}

}  // namespace ql
