// The cartridge plugged into the copier, decoded the way its board would
// decode it: a Super NES LoROM or HiROM board with its mirrors, or a Genesis
// cartridge that the SMD delivers in its interleaved block order.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/memory_map.h"

namespace ql::emu {

// Where `offset` lands in a ROM of `size` bytes when the board repeats a ROM
// smaller than its range: the part above the largest power of two repeats
// within itself, the whole repeats above that.
std::uint32_t MirrorRomOffset(std::uint32_t offset, std::uint32_t size);

class SnesCartridge {
 public:
  void Plug(std::vector<std::uint8_t> image, bool hiRom);
  bool present() const { return !rom_.empty(); }
  bool hiRom() const { return hiRom_; }

  // The 8 KB quarter of bank `bank` seen from `offset` on: the upper half
  // (bank:0x8000 + quarter * 0x2000) or the lower half (bank:quarter * 0x2000).
  // Where the board puts no ROM the bus floats and reads as the bank number.
  Span Upper(std::uint8_t bank, std::uint8_t quarter, std::uint16_t offset) const;
  Span Lower(std::uint8_t bank, std::uint8_t quarter, std::uint16_t offset) const;

 private:
  Span Rom(std::uint32_t boardOffset, std::uint16_t offset) const;

  std::vector<std::uint8_t> rom_;  // padded to whole 8 KB pieces
  std::uint32_t size_ = 0;
  bool hiRom_ = false;
};

class GenesisCartridge {
 public:
  void Plug(std::vector<std::uint8_t> plainImage);
  bool present() const { return !smd_.empty(); }
  // 16 KB page `page` in SMD order, from `offset` on.
  Span Page(std::uint8_t page, std::uint16_t offset) const;
  // Size in 128 KB units as the copier reports it; 0 without a cartridge.
  std::uint8_t SizeUnits() const;

 private:
  std::vector<std::uint8_t> smd_;  // whole 16 KB blocks, interleaved
  std::uint32_t plainSize_ = 0;
};

// One 16 KB block from plain to SMD order: odd bytes first, then even bytes.
void InterleaveBlock(const std::uint8_t* plain, std::uint8_t* smd);

}  // namespace ql::emu
