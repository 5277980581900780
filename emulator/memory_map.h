// How the copier's 16-bit address space is decoded at a given moment. A
// device model answers "what does this address show?" with a span, so that
// a block transfer resolves a window once instead of once per byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ql::emu {

struct Span {
  enum class Kind : std::uint8_t {
    Memory,    // `data` points at the byte of the address; `length` bytes follow
    Constant,  // reads give `value`, writes are dropped
    Register,  // one address with side effects: WriteRegister / ReadRegister
  };
  // Memory only: whose bytes they are, for the faults that hit one kind.
  enum class Source : std::uint8_t { Other, Dram, Cartridge };
  Kind kind = Kind::Constant;
  bool readOnly = false;  // Memory only: writes dropped (cartridge ROM, a bank without DRAM)
  std::uint8_t value = 0;
  std::uint8_t* data = nullptr;
  std::uint32_t length = 1;
  Source source = Source::Other;

  static Span Bytes(std::uint8_t* data, std::uint32_t length, bool readOnly = false, Source source = Source::Other) {
    return {Kind::Memory, readOnly, 0, data, length, source};
  }
  static Span Fill(std::uint8_t value, std::uint32_t length) {
    return {Kind::Constant, true, value, nullptr, length, Source::Other};
  }
  static Span Reg() { return {Kind::Register, false, 0, nullptr, 1, Source::Other}; }
};

constexpr std::uint32_t kSramSize = 32 * 1024;
constexpr std::uint32_t kRealTimeAreaSize = 256 * 1024;

// Everything the copier holds that outlives a command, shared by the device
// models and the state folder.
struct CopierStore {
  explicit CopierStore(std::uint32_t dramPageSize, std::uint32_t dramPageCount)
      : pageSize(dramPageSize), maxPages(dramPageCount) {}

  const std::uint32_t pageSize;
  const std::uint32_t maxPages;
  std::array<std::uint8_t, 512> header{};
  std::vector<std::uint8_t> dram;  // grows to the highest page ever written
  std::vector<std::uint8_t> sram = std::vector<std::uint8_t>(kSramSize);
  std::vector<std::uint8_t> realTimeArea = std::vector<std::uint8_t>(kRealTimeAreaSize);
  std::array<std::uint8_t, 0x10000> flat{};  // registers and space no window covers
  std::vector<std::string> events;           // "F 05 08 00 00", "W 2001 03"

  // Page `page` of DRAM as seen through a window, from `offset` on.
  Span DramSpan(std::uint32_t page, std::uint32_t offset, bool forWrite, bool dropsWrites);
};

// A flat stretch from `address` up to `end` (exclusive), stopping before the
// first of `registers` (sorted) inside it; a register itself is Reg().
Span FlatSpan(CopierStore& store, std::uint16_t address, std::uint32_t end, const std::uint16_t* registers,
              std::size_t registerCount);

// One device family's address decoding.
class CopierMemory {
 public:
  virtual ~CopierMemory() = default;
  virtual void SelectPage(std::uint16_t page) = 0;
  virtual Span Map(std::uint16_t address, bool forWrite) = 0;
  virtual void WriteRegister(std::uint16_t address, std::uint8_t value) = 0;
  virtual std::uint8_t ReadRegister(std::uint16_t address) = 0;
  // A plain image; empty means unplugged.
  virtual void SetCartridge(std::vector<std::uint8_t> image, bool hiRom) = 0;
};

}  // namespace ql::emu
