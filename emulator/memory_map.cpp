#include "emulator/memory_map.h"

#include <algorithm>

namespace ql::emu {

Span CopierStore::DramSpan(std::uint32_t page, std::uint32_t offset, bool forWrite, bool dropsWrites) {
  const std::uint32_t length = pageSize - offset;
  if (page >= maxPages) return Span::Fill(0, length);
  const std::size_t start = static_cast<std::size_t>(page) * pageSize + offset;
  if (start >= dram.size()) {
    // Never written: reads as zero; only a real write makes the file grow.
    if (!forWrite || dropsWrites) return Span::Fill(0, length);
    dram.resize(static_cast<std::size_t>(page + 1) * pageSize);
  }
  return Span::Bytes(dram.data() + start, length, dropsWrites, Span::Source::Dram);
}

Span FlatSpan(CopierStore& store, std::uint16_t address, std::uint32_t end, const std::uint16_t* registers,
              std::size_t registerCount) {
  std::uint32_t stop = end;
  for (std::size_t i = 0; i < registerCount; ++i) {
    if (registers[i] == address) return Span::Reg();
    if (registers[i] > address && registers[i] < stop) {
      stop = registers[i];
      break;
    }
  }
  return Span::Bytes(store.flat.data() + address, stop - address);
}

}  // namespace ql::emu
