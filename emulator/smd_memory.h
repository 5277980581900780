// The Super Magic Drive address map.
//
//   0x2001         mode register; every write is an event ("W 2001 03")
//   0x4000 window  16 KB: the cartridge page in SMD order while in transfer
//                  mode, else the first half of the 32 KB SRAM
//   0x8000 window  16 KB: the DRAM page while in transfer mode, else the
//                  second half of the SRAM
//   0xDC00-0xDDFF  the 512-byte upload header
//   0xDFF1         cartridge size in 128 KB units (0: none)
//
// Transfer mode is what writing 0 to 0x2001 enters (a ROM upload and a
// cartridge download both start so); any other value (4 before an SRAM
// upload, 3 or 7 to run) and power-up show the SRAM, so that an SRAM
// download, which writes no mode, finds the SRAM after a run.
#pragma once

#include "emulator/cartridge.h"
#include "emulator/memory_map.h"

namespace ql::emu {

class SmdMemory final : public CopierMemory {
 public:
  static constexpr std::uint32_t kPageSize = 16 * 1024;
  static constexpr std::uint32_t kPageCount = 256;  // 4 MB

  explicit SmdMemory(CopierStore& store) : store_(store) {}

  void SelectPage(std::uint16_t page) override { page_ = static_cast<std::uint8_t>(page); }
  Span Map(std::uint16_t address, bool forWrite) override;
  void WriteRegister(std::uint16_t address, std::uint8_t value) override;
  std::uint8_t ReadRegister(std::uint16_t address) override;
  void SetCartridge(std::vector<std::uint8_t> image, bool hiRom) override;

  std::uint8_t mode() const { return mode_; }

 private:
  CopierStore& store_;
  GenesisCartridge cartridge_;
  std::uint8_t page_ = 0;  // the page register is one byte wide
  std::uint8_t mode_ = 0;
  bool transferMode_ = false;
};

}  // namespace ql::emu
