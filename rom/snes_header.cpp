#include "rom/snes_header.h"

#include "core/units.h"
#include "rom/rom_size_text.h"

namespace ql {
namespace {

struct Candidate {
  std::uint32_t offset;
  bool hiRom;
  bool hasCopierHeader;
};

// Order matters: a block valid at two places is taken from the first.
constexpr Candidate kCandidates[] = {
    {0x7FC0, false, false},
    {0x81C0, false, true},
    {0xFFC0, true, false},
    {0x101C0, true, true},
};

std::uint16_t ReadLe16(const SnesHeaderBlock& block, std::size_t at) {
  return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
}

}  // namespace

bool IsValidSnesHeader(const SnesHeaderBlock& block) {
  const std::uint16_t pair = ReadLe16(block, SnesField::Checksum) ^ ReadLe16(block, SnesField::ChecksumComplement);
  const std::uint8_t romCode = block[SnesField::RomSizeCode];
  return pair == 0xFFFF && romCode >= 8 && romCode <= 13 && block[SnesField::SramSizeCode] <= 5;
}

std::optional<SnesHeaderMatch> FindSnesHeader(ImageReader& image) {
  for (const Candidate& candidate : kCandidates) {
    SnesHeaderMatch match;
    // Later candidates lie further into the file, so a short read ends it.
    if (image.ReadAt(candidate.offset, match.block.data(), match.block.size()) != match.block.size()) {
      return std::nullopt;
    }
    if (IsValidSnesHeader(match.block)) {
      match.hiRom = candidate.hiRom;
      match.hasCopierHeader = candidate.hasCopierHeader;
      return match;
    }
  }
  return std::nullopt;
}

std::string SnesTitleText(const std::uint8_t* block) {
  std::string title;
  for (std::size_t i = 0; i < SnesField::TitleLength && block[SnesField::Title + i] != 0; ++i) {
    title += static_cast<char>(block[SnesField::Title + i]);
  }
  return title;
}

const char* SnesSpeedWord(std::uint8_t makeup) { return (makeup & 0xF0) != 0 ? "Fast" : "Slow"; }

const char* SnesMapWord(bool hiRom) { return hiRom ? "HiROM" : "LoROM"; }

HeaderTexts DescribeSnesHeader(const SnesHeaderBlock& block, bool hiRom, std::uint32_t dataSize) {
  HeaderTexts texts;
  texts.Name = SnesTitleText(block.data());
  texts.Makeup = std::string(SnesSpeedWord(block[SnesField::Makeup])) + " " + SnesMapWord(hiRom);

  // The search keeps the code in 8..13; the mask only keeps other callers defined.
  const unsigned romShift = (block[SnesField::RomSizeCode] - 8u) & 31u;
  const std::uint32_t declaredMbit = 2u << romShift;
  const auto fileMbit = static_cast<std::uint32_t>((std::uint64_t{dataSize} + kMbitBytes - 1) / kMbitBytes);
  texts.RomSize = RomSizeText(declaredMbit, fileMbit);

  const std::uint8_t sramCode = block[SnesField::SramSizeCode];
  texts.SramSize = sramCode == 0 ? "none" : std::to_string(8u << (sramCode & 31u)) + "kb";
  texts.Region = SnesRegionNames()[block[SnesField::RegionCode] & 0x0F];
  texts.Maker = SnesMakerNames()[block[SnesField::MakerCode]];
  texts.Version = "1." + std::to_string(block[SnesField::Version]);
  return texts;
}

}  // namespace ql
