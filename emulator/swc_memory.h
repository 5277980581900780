// The Super Magicom / WildCard address map.
//
//   0x0400-0x05FF  the 512-byte upload header
//   0x2000 window  8 KB: the cartridge's lower half in cartridge mode;
//                  battery SRAM (pages 0x100-0x103) once 0xC008 was written
//   0x8000 window  8 KB of DRAM, page = (0xC010 & 1) * 512 + (page & 0x1FF):
//                  the page register decodes 128 banks (4 MB), 0xC010 adds
//                  the line above, so a ROM block i always lands in page i
//                  and a real-time save kept in DRAM (0xC010 = 1) lies in
//                  the upper 4 MB, clear of any ROM of up to 4 MB
//   0xA000 window  8 KB: the cartridge's upper half in cartridge mode;
//                  otherwise the real-time save area, pages 0-31 (when the
//                  copier has one), with "SUB" at 0xB080-0xB082 right after
//                  page 31 was selected and 0xE00D written
//   0xC008, 0xC010, 0xE00C, 0xE00D  mode registers
//
// 0xE00C enters cartridge mode; 0xE00D leaves it (copier mode) and arms the
// signature; 0xC008 enables the SRAM; a page selection disarms the signature.
#pragma once

#include <array>

#include "emulator/cartridge.h"
#include "emulator/memory_map.h"

namespace ql::emu {

class SwcMemory final : public CopierMemory {
 public:
  static constexpr std::uint32_t kPageSize = 8 * 1024;
  static constexpr std::uint32_t kPageCount = 1024;  // 8 MB

  SwcMemory(CopierStore& store, bool realTimeSignature);

  void SelectPage(std::uint16_t page) override;
  Span Map(std::uint16_t address, bool forWrite) override;
  void WriteRegister(std::uint16_t address, std::uint8_t value) override;
  std::uint8_t ReadRegister(std::uint16_t address) override;
  void SetCartridge(std::vector<std::uint8_t> image, bool hiRom) override;

  void SetBankWritable(std::uint8_t bank, bool writable) { bankDropsWrites_[bank & 0x7F] = !writable; }

 private:
  std::uint8_t Bank() const { return static_cast<std::uint8_t>(page_ >> 2); }
  std::uint8_t Quarter() const { return static_cast<std::uint8_t>(page_ & 3); }
  Span Low(std::uint16_t address);
  Span SramWindow(std::uint16_t address);
  Span RealTimeWindow(std::uint16_t address);
  Span RealTimeArea(std::uint16_t address, std::uint32_t end);

  CopierStore& store_;
  SnesCartridge cartridge_;
  const bool realTimeSignature_;
  std::uint16_t page_ = 0;
  std::uint8_t highDram_ = 0;  // last value written to 0xC010
  bool cartridgeMode_ = false;
  bool sramEnabled_ = false;
  bool signatureArmed_ = false;
  std::array<bool, 128> bankDropsWrites_{};
};

}  // namespace ql::emu
