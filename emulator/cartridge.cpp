#include "emulator/cartridge.h"

#include <algorithm>

#include "core/units.h"

namespace ql::emu {
namespace {

constexpr std::uint32_t kPiece = kSwcBlockSize;  // SNES window size
constexpr std::uint32_t kSmdBlock = kSmdBlockSize;
constexpr std::uint32_t kSmdUnit = kMbitBytes;  // unit of the size byte: 128 KB

std::uint32_t RoundUp(std::uint32_t value, std::uint32_t unit) { return (value + unit - 1) / unit * unit; }

std::uint32_t HighestBit(std::uint32_t value) {
  std::uint32_t bit = 1;
  while (value >>= 1) bit <<= 1;
  return bit;
}

}  // namespace

std::uint32_t MirrorRomOffset(std::uint32_t offset, std::uint32_t size) {
  if (size == 0) return 0;
  std::uint32_t base = 0;
  while (offset >= size) {
    // Drop the address line the ROM does not decode; when the ROM fills the
    // lower half of that range completely, what is left lives in the part above it.
    const std::uint32_t line = HighestBit(offset);
    offset -= line;
    if (size > line) {
      base += line;
      size -= line;
    }
  }
  return base + offset;
}

void SnesCartridge::Plug(std::vector<std::uint8_t> image, bool hiRom) {
  hiRom_ = hiRom;
  size_ = static_cast<std::uint32_t>(image.size());
  rom_ = std::move(image);
  if (!rom_.empty()) rom_.resize(RoundUp(size_, kPiece), 0);
  size_ = static_cast<std::uint32_t>(rom_.size());
}

Span SnesCartridge::Rom(std::uint32_t boardOffset, std::uint16_t offset) const {
  // Windows are 8 KB aligned and the ROM is whole 8 KB pieces, so a piece
  // mirrors as a whole.
  const std::uint32_t start = MirrorRomOffset(boardOffset, size_);
  return Span::Bytes(const_cast<std::uint8_t*>(rom_.data()) + start + offset, kPiece - offset, true,
                     Span::Source::Cartridge);
}

Span SnesCartridge::Upper(std::uint8_t bank, std::uint8_t quarter, std::uint16_t offset) const {
  if (!present()) return Span::Fill(bank, kPiece - offset);
  const std::uint32_t piece = quarter * kPiece;
  if (hiRom_) return Rom(((bank & 0x3Fu) << 16) | 0x8000u | piece, offset);
  return Rom((bank & 0x7Fu) * 0x8000u + piece, offset);
}

Span SnesCartridge::Lower(std::uint8_t bank, std::uint8_t quarter, std::uint16_t offset) const {
  // Banks 0x00-0x3F and 0x80-0xBF have the console's own space below 0x8000.
  if (!present() || (bank & 0x40) == 0) return Span::Fill(bank, kPiece - offset);
  const std::uint32_t piece = quarter * kPiece;
  if (hiRom_) return Rom(((bank & 0x3Fu) << 16) | piece, offset);
  return Rom((bank & 0x7Fu) * 0x8000u + piece, offset);  // LoROM: the upper half again
}

void InterleaveBlock(const std::uint8_t* plain, std::uint8_t* smd) {
  for (std::uint32_t k = 0; k < kSmdBlock / 2; ++k) {
    smd[k] = plain[2 * k + 1];
    smd[kSmdBlock / 2 + k] = plain[2 * k];
  }
}

void GenesisCartridge::Plug(std::vector<std::uint8_t> plainImage) {
  plainSize_ = static_cast<std::uint32_t>(plainImage.size());
  smd_.clear();
  if (plainImage.empty()) return;
  plainImage.resize(RoundUp(plainSize_, kSmdBlock), 0);
  smd_.resize(plainImage.size());
  for (std::size_t block = 0; block < plainImage.size(); block += kSmdBlock)
    InterleaveBlock(plainImage.data() + block, smd_.data() + block);
}

Span GenesisCartridge::Page(std::uint8_t page, std::uint16_t offset) const {
  if (!present()) return Span::Fill(0xFF, kSmdBlock - offset);
  const std::uint32_t start = MirrorRomOffset(page * kSmdBlock, static_cast<std::uint32_t>(smd_.size()));
  return Span::Bytes(const_cast<std::uint8_t*>(smd_.data()) + start + offset, kSmdBlock - offset, true,
                     Span::Source::Cartridge);
}

std::uint8_t GenesisCartridge::SizeUnits() const {
  return static_cast<std::uint8_t>(std::min<std::uint32_t>((plainSize_ + kSmdUnit - 1) / kSmdUnit, 255));
}

}  // namespace ql::emu
